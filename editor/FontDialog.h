#pragma once

#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QFontComboBox;
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

private:
    void updateSample();

    QFontComboBox *m_family = nullptr;
    QComboBox *m_size = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QLineEdit *m_sample = nullptr;
};
