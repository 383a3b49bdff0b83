#include "app/Platform.h"

#include <QFont>

namespace Platform {

void preferX11()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void registerFontSubstitutes()
{
    const struct
    {
        const char *windowsName;
        const char *ipaName;
    } substitutes[] = {
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
        {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},    {"MS PMincho", "IPAPMincho"},
        {"MS UI Gothic", "IPAPGothic"},   {"ＭＳ ＵＩ Gothic", "IPAPGothic"},
        {"メイリオ", "IPAPGothic"},       {"Meiryo", "IPAPGothic"},
        {"Meiryo UI", "IPAPGothic"},
        // The font dialog's starting face: a Japanese gothic, as on the
        // systems the notes come from.
        {"SYSTEM", "IPAPGothic"},
    };
    for (const auto &substitute : substitutes)
        QFont::insertSubstitution(QString::fromUtf8(substitute.windowsName), QString::fromUtf8(substitute.ipaName));
}

}
