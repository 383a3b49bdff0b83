#include "editor/FontDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
constexpr double SmallestSize = 1;
constexpr double LargestSize = 400;
}

FontDialog::FontDialog(const QFont &initial, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FontDialog"));

    m_family = new QFontComboBox(this);
    m_family->setObjectName(QStringLiteral("family"));
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("size"));
    m_size->setEditable(true);
    for (const char *size : {"8", "9", "10", "10.5", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28",
                             "36", "48", "72"})
        m_size->addItem(QString::fromLatin1(size));
    auto *validator = new QDoubleValidator(SmallestSize, LargestSize, 2, m_size);
    validator->setNotation(QDoubleValidator::StandardNotation);
    m_size->setValidator(validator);
    m_bold = new QCheckBox(QStringLiteral("太字"), this);
    m_bold->setObjectName(QStringLiteral("bold"));
    m_italic = new QCheckBox(QStringLiteral("斜体"), this);
    m_italic->setObjectName(QStringLiteral("italic"));
    m_sample = new QLineEdit(QStringLiteral("付箋紙 あア亜 AaBbYyZz 123"), this);
    m_sample->setObjectName(QStringLiteral("sample"));
    m_sample->setMinimumHeight(60);

    auto *styles = new QHBoxLayout;
    styles->addWidget(m_bold);
    styles->addWidget(m_italic);
    styles->addStretch();
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("フォント名"), m_family);
    form->addRow(QStringLiteral("サイズ"), m_size);
    form->addRow(QStringLiteral("スタイル"), styles);
    form->addRow(QStringLiteral("サンプル"), m_sample);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_family, &QFontComboBox::currentFontChanged, this, &FontDialog::updateSample);
    connect(m_size, &QComboBox::currentTextChanged, this, &FontDialog::updateSample);
    connect(m_bold, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_italic, &QCheckBox::toggled, this, &FontDialog::updateSample);

    setCurrentFont(initial);
}

QFont FontDialog::currentFont() const
{
    QFont font(m_family->currentFont().family());
    bool ok = false;
    const double size = m_size->currentText().toDouble(&ok);
    font.setPointSizeF(ok ? qBound(SmallestSize, size, LargestSize) : 10);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    return font;
}

void FontDialog::setCurrentFont(const QFont &font)
{
    m_family->setCurrentFont(font);
    m_size->setCurrentText(QString::number(font.pointSizeF()));
    m_bold->setChecked(font.bold());
    m_italic->setChecked(font.italic());
    updateSample();
}

void FontDialog::updateSample()
{
    m_sample->setFont(currentFont());
}
