// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QLineEdit;

// Chooses a note's font: family, size, bold, italic. Bold and italic are
// offered for every family, because the Japanese fonts have no bold or italic
// face of their own and the font engine draws them slanted or emboldened.
class FontDialog : public QDialog
{
    Q_OBJECT

public:
    FontDialog(const QFont &initial, QWidget *parent = nullptr);

    QFont currentFont() const;
    void setCurrentFont(const QFont &font);

    // The families a note can be written in: no symbol or dingbat fonts, and
    // each name once, without the foundry that fontconfig adds when two
    // foundries share it ("Nimbus Sans [urw]").
    static QStringList noteFamilies();

private:
    QString listedFamily(const QFont &font) const;
    void updateSample();

    QComboBox *m_family = nullptr;
    QComboBox *m_size = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QLineEdit *m_sample = nullptr;
};
