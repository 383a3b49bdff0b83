// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>

// One of the edit screen's four alarm boxes (hour, minute, month, day):
// digits only, centred, with the input method off. Digits go straight in:
// with an input method on, they would wait in a composition, and Tab and Esc
// would go to its candidates. Full-width digits that arrive anyway (pasted,
// or from an input method that does not ask) become the digits they are.
class AlarmField : public QLineEdit
{
    Q_OBJECT

public:
    explicit AlarmField(QWidget *parent);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
};
