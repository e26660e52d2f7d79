#include "configdialog/NumberFields.h"

#include "profiles/TextNumbers.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <cstdint>
#include <limits>

namespace moxel {

namespace {

QLineEdit* makeField(QWidget* parent, const QString& objectName, const QString& pattern)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), field));
    return field;
}

// The digits of text (all of it) as a number, or -1 when text is not a
// non-empty run of digits or its value exceeds limit.
int64_t digitsValue(QStringView text, int64_t limit)
{
    if (text.isEmpty())
        return -1;
    int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            return -1;
    }
    return value;
}

} // namespace

QLineEdit* makeDigitsField(QWidget* parent, const QString& objectName)
{
    return makeField(parent, objectName, QStringLiteral("[0-9]{0,9}"));
}

QLineEdit* makeSignedField(QWidget* parent, const QString& objectName)
{
    return makeField(parent, objectName, QStringLiteral("-?[0-9]{0,9}"));
}

QString unsignedText(int value)
{
    return QString::number(uint32_t(value));
}

int readUnsigned(const QLineEdit* field, int fallback)
{
    int64_t value = digitsValue(field->text().trimmed(), std::numeric_limits<uint32_t>::max());
    return value < 0 ? fallback : int(uint32_t(value));
}

int readSigned(const QLineEdit* field, int fallback)
{
    QString text = field->text().trimmed();
    bool negative = text.startsWith(u'-');
    int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min())
                             : int64_t(std::numeric_limits<int32_t>::max());
    int64_t value = digitsValue(QStringView(text).mid(negative ? 1 : 0), limit);
    if (value < 0)
        return fallback;
    return int(negative ? -value : value);
}

double readReal(const QLineEdit* field, int maxChars)
{
    return parseLeadingDouble(field->text().left(maxChars).toStdString());
}

std::string fieldText(const QLineEdit* field, size_t maxBytes)
{
    std::string text = field->text().toStdString();
    if (text.size() <= maxBytes)
        return text;
    size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the cut character.
    while (cut > 0 && (uint8_t(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

} // namespace moxel
