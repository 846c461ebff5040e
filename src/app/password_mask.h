#pragma once

class QLineEdit;

namespace quorvane {

// Hides what the password box holds behind "*", whatever character the style would use.
void MaskPassword(QLineEdit* box);

}  // namespace quorvane
