#pragma once

#include <QString>

#include <optional>

namespace quorvane {

// What stands where a copy file should be, when it is no regular file.
enum class NotARegularFile { Directory, NamedPipe, Socket, CharacterDevice, BlockDevice, Other };

// Why a copy file cannot take a copy. Never holds page content.
struct CopyFileProblem {
    QString path;          // the copy file; empty when no folder for it is known at all
    QString systemReason;  // the system's words, unless `standing` says it
    std::optional<NotARegularFile> standing;
    bool inUse = false;  // another writer kept the file for the whole wait
};

}  // namespace quorvane
