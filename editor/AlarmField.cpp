// SPDX-License-Identifier: MIT
#include "editor/AlarmField.h"

#include <QValidator>

namespace {

constexpr int LongestValue = 8;

// Takes any decimal digit, full-width ones included, as its ASCII digit, and
// refuses everything else.
class DigitsValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        for (QChar &c : input) {
            if (!c.isDigit())
                return Invalid;
            c = QChar(u'0' + c.digitValue());
        }
        return Acceptable;
    }
};

}

AlarmField::AlarmField(QWidget *parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignCenter);
    setMaxLength(LongestValue);
    setInputMethodHints(Qt::ImhDigitsOnly);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setValidator(new DigitsValidator(this));
}

// A line edit tells the input method that it takes compositions whatever
// its attributes say; an input method asks this before it takes a key.
QVariant AlarmField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImEnabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}
