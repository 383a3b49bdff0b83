// SPDX-License-Identifier: MIT
#include "store/SaveProblem.h"

#include <cerrno>

namespace {

QString systemReason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空きが足りません");
    case EROFS:
        return QStringLiteral("読み取り専用のディスクです");
    case EIO:
        return QStringLiteral("ディスクの読み書きに失敗しました");
    default:
        return QString();
    }
}

}

QString ProblemText(const FileAccess::Problem &problem)
{
    using Problem = FileAccess::Problem;
    const QString system = systemReason(problem.error);
    if (problem.cause == Problem::CannotKeepCopy) {
        const QString copy = QStringLiteral("壊れたファイルの控えを作れません");
        return system.isEmpty() ? copy : copy + QStringLiteral("（") + system + QStringLiteral("）");
    }
    if (!system.isEmpty())
        return system;
    switch (problem.cause) {
    case Problem::NotRegularFile:
        return QStringLiteral("通常のファイルではありません");
    case Problem::TooLarge:
        return QStringLiteral("大きすぎて読み込めません");
    case Problem::CannotRead:
        return problem.error == EACCES || problem.error == EPERM ? QStringLiteral("読み込む権限がありません")
                                                                 : QStringLiteral("読み込めません");
    case Problem::ReadOnlyFile:
        return QStringLiteral("読み取り専用のファイルです");
    case Problem::CannotCreateFolder:
        return QStringLiteral("フォルダーを作れません");
    case Problem::CannotWriteFolder:
        return QStringLiteral("フォルダーに書き込めません");
    case Problem::CannotWrite:
    case Problem::CannotKeepCopy:
    case Problem::None:
        break;
    }
    return QStringLiteral("書き込めません");
}
