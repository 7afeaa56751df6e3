// The note argument string: the ten fields of a note joined by "/\/".
#include "NoteArgs.h"

namespace store {

namespace {

// How a user knows each field, for messages.
const char16_t *const FieldLabels[NoteRecord::FieldCount] = {
    u"メッセージ", u"背景色", u"フォント名", u"フォントサイズ", u"上端の位置",
    u"左端の位置", u"幅",     u"高さ",       u"文字色",         u"識別番号"};

QString textForm(const Value &value)
{
    // A number travels in plain decimal, as a conversion of the value gives it.
    if (value.isNumber()) {
        if (const auto number = value.toNumber())
            return formatNumber(*number);
    }
    return value.toText();
}

} // namespace

Result<QString> EncodeNoteArgs(const NoteRecord &note)
{
    QString out;
    for (int f = 0; f < NoteRecord::FieldCount; ++f) {
        const QString text = textForm(note.field(f));
        if (text.contains(NoteArgsSeparator))
            return Error{QStringLiteral("付箋の%1に区切りの文字列「/\\/」が含まれているため、"
                                        "付箋を表示できません。")
                             .arg(QString::fromUtf16(FieldLabels[f]))};
        if (f > 0)
            out += NoteArgsSeparator;
        out += text;
    }
    // Counted as the process gets it; most Japanese characters take three bytes there.
    if (const qsizetype bytes = out.toUtf8().size(); bytes > MaxNoteArgsBytes)
        return Error{QStringLiteral("付箋が長すぎるため、付箋ウィンドウに渡せません"
                                    "（%1 バイトあります。付箋ウィンドウに渡せるのは %2 バイト、"
                                    "日本語でおよそ %3 文字までです）。")
                         .arg(bytes)
                         .arg(MaxNoteArgsBytes)
                         .arg(MaxNoteArgsBytes / 3)};
    return out;
}

Result<std::optional<QStringList>> DecodeNoteArgs(const QString &argumentText)
{
    if (argumentText.isEmpty())
        return std::optional<QStringList>();
    QStringList pieces =
        argumentText.split(NoteArgsSeparator.toString(), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (pieces.size() < NoteRecord::FieldCount)
        return Error{QStringLiteral("付箋のデータを読めません（10 個の欄が必要ですが、"
                                    "%1 個しかありません）。")
                         .arg(pieces.size())};
    pieces.erase(pieces.begin() + NoteRecord::FieldCount, pieces.end());
    return std::optional<QStringList>(std::move(pieces));
}

} // namespace store
