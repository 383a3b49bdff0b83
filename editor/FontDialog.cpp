// SPDX-License-Identifier: MIT
#include "editor/FontDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
constexpr double SmallestSize = 1;
constexpr double LargestSize = 400;
constexpr int MinimumWidthPx = 360;

// Picture fonts that fontconfig reports as Latin, so their writing systems
// do not give them away.
const char *const DingbatFamilies[] = {
    "D050000L", "Dingbats", "ITC Zapf Dingbats", "ZapfDingbats", "Webdings", "Wingdings", "Wingdings 2",
    "Wingdings 3", "Marlett", "OpenSymbol", "Symbol", "Standard Symbols PS", "Standard Symbols L",
};

QString withoutFoundry(QString family)
{
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    return family.remove(foundry);
}

bool isDingbatFamily(const QString &family)
{
    for (const char *dingbats : DingbatFamilies) {
        if (family.compare(QLatin1String(dingbats), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool writesOnlySymbols(const QString &family)
{
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
    for (QFontDatabase::WritingSystem system : systems) {
        if (system != QFontDatabase::Symbol && system != QFontDatabase::Any)
            return false;
    }
    return true;
}
}

QStringList FontDialog::noteFamilies()
{
    QStringList families;
    for (const QString &family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family) || writesOnlySymbols(family))
            continue;
        const QString name = withoutFoundry(family);
        if (!isDingbatFamily(name) && !families.contains(name))
            families << name;
    }
    return families;
}

FontDialog::FontDialog(const QFont &initial, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FontDialog"));
    // The screen's own font, which writes Japanese; a window does not take it
    // from its parent by itself.
    if (parent)
        setFont(parent->font());

    m_family = new QComboBox(this);
    m_family->setObjectName(QStringLiteral("family"));
    m_family->addItems(noteFamilies());
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
    // Each caption is its field's label: a screen reader says it with the
    // field's value (on Linux a list's name is its value).
    const auto addLabelled = [this, form](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(caption);
        form->addRow(label, field);
    };
    addLabelled(QStringLiteral("フォント名"), m_family);
    addLabelled(QStringLiteral("サイズ"), m_size);
    form->addRow(QStringLiteral("スタイル"), styles);
    addLabelled(QStringLiteral("サンプル"), m_sample);
    m_size->lineEdit()->setAccessibleName(QStringLiteral("サイズ"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    // Some desktop themes put stock icons on dialog buttons; Nopi's have none.
    for (QAbstractButton *button : buttons->buttons())
        button->setIcon(QIcon());
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Room for the whole title in the window manager's title bar.
    setMinimumWidth(MinimumWidthPx);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_family, &QComboBox::currentTextChanged, this, &FontDialog::updateSample);
    connect(m_size, &QComboBox::currentTextChanged, this, &FontDialog::updateSample);
    connect(m_bold, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_italic, &QCheckBox::toggled, this, &FontDialog::updateSample);

    setCurrentFont(initial);
}

QFont FontDialog::currentFont() const
{
    QFont font(m_family->currentText());
    bool ok = false;
    const double size = m_size->currentText().toDouble(&ok);
    font.setPointSizeF(ok ? qBound(SmallestSize, size, LargestSize) : 10);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    return font;
}

// The list names real faces only. A name that is not one of them ("SYSTEM",
// "ＭＳ Ｐゴシック") shows as the face that really draws it, so that ＯＫ stores
// what the note will look like.
QString FontDialog::listedFamily(const QFont &font) const
{
    QStringList candidates{withoutFoundry(font.family())};
    candidates += QFont::substitutes(font.family());
    candidates << withoutFoundry(QFontInfo(font).family());
    for (const QString &candidate : candidates) {
        const int index = m_family->findText(candidate, Qt::MatchFixedString);
        if (index >= 0)
            return m_family->itemText(index);
    }
    return {};
}

void FontDialog::setCurrentFont(const QFont &font)
{
    const QString family = listedFamily(font);
    if (!family.isEmpty())
        m_family->setCurrentText(family);
    m_size->setCurrentText(QString::number(font.pointSizeF()));
    m_bold->setChecked(font.bold());
    m_italic->setChecked(font.italic());
    updateSample();
}

void FontDialog::updateSample()
{
    m_sample->setFont(currentFont());
    // A sample wider than its box shows its start.
    m_sample->setCursorPosition(0);
}
