// Text fields for the numbers of the two editor dialogs, and reading them
// back. Digits-only fields take nothing but the digits 0-9 and at most nine
// of them, so that no typed value can exceed a signed 32-bit field; a value
// shown from the file may be longer and reads back as it was shown.
#pragma once

#include <QString>

#include <cstddef>
#include <string>

class QLineEdit;
class QWidget;

namespace moxel {

// A field that takes only digits.
QLineEdit* makeDigitsField(QWidget* parent, const QString& objectName);
// A field that takes an optional '-' and digits.
QLineEdit* makeSignedField(QWidget* parent, const QString& objectName);

// value as an unsigned decimal ("%u" of the 32-bit pattern).
QString unsignedText(int value);

// The unsigned number the field holds, as the 32-bit pattern of an int;
// fallback when the field holds no number or one above 4294967295.
int readUnsigned(const QLineEdit* field, int fallback);
// The signed number the field holds; fallback when it holds none or one
// outside the 32-bit range.
int readSigned(const QLineEdit* field, int fallback);
// The field's first maxChars characters read as a decimal number, leading
// part only (as the profile file is read); no number gives 0.
double readReal(const QLineEdit* field, int maxChars);

// The field's text as UTF-8, cut to at most maxBytes without splitting a
// character.
std::string fieldText(const QLineEdit* field, size_t maxBytes);

} // namespace moxel
