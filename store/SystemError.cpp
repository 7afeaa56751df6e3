// What a failed system call means, in words for the user.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace store {

QString systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("ディスクの空き容量が足りません");
    case EDQUOT:
        return QStringLiteral("ディスクの使用量の上限に達しています");
    case EACCES:
    case EPERM:
        return QStringLiteral("書き込みまたは読み込みが許可されていません");
    case EROFS:
        return QStringLiteral("読み取り専用のディスクです");
    case EFBIG:
        return QStringLiteral("ファイルが大きすぎます");
    case EIO:
        return QStringLiteral("ディスクの入出力エラーです");
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダーがありません");
    case ENOTDIR:
        return QStringLiteral("フォルダーではありません");
    case EISDIR:
        return QStringLiteral("ファイルではなくフォルダーです");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます");
    case 0: // a write that stopped short without an error number
        return QStringLiteral("書き込みが途中で止まりました");
    default:
        return QStringLiteral("%1、エラー番号 %2")
            .arg(QString::fromLocal8Bit(std::strerror(errorNumber)))
            .arg(errorNumber);
    }
}

} // namespace store
