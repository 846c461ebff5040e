#pragma once

#include "log_timestamps.h"

#include <QLocale>
#include <QString>

namespace quorvane {

// The separator between hours and minutes in the locale's time format (":" where none is found).
QString TimeSeparator(const QLocale& locale);

// The current local date and time, to the whole second, with the locale's time separator.
AnalysisClock CurrentAnalysisClock(const QLocale& locale);

}  // namespace quorvane
