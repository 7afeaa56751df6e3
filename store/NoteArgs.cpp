// The note argument string: the ten fields of a note joined by "/\/".
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteArgs.h"

#include "NoteId.h"

#include <cmath>
#include <limits>

namespace store {

namespace {

QString notANumber(const QStringList &fields, int field)
{
    return QStringLiteral("付箋の%1が数値ではありません（「%2」）。")
        .arg(noteFieldLabel(field), fields[field]);
}

// A single-precision number field.
Result<float> toSingle(const QStringList &fields, int field)
{
    const std::optional<double> value = parseNumber(fields[field]);
    if (!value || !std::isfinite(*value) || std::abs(*value) > std::numeric_limits<float>::max())
        return Error{notANumber(fields, field)};
    return float(*value);
}

// A colour field: a 32-bit signed integer, a fraction rounded half to even.
Result<qint32> toColour(const QStringList &fields, int field)
{
    const std::optional<double> value = parseNumber(fields[field]);
    if (!value || !std::isfinite(*value) || std::abs(*value) > 1e18)
        return Error{notANumber(fields, field)};
    const qint64 rounded = roundHalfEven(*value);
    if (rounded < std::numeric_limits<qint32>::min() ||
        rounded > std::numeric_limits<qint32>::max())
        return Error{QStringLiteral("付箋の%1が大きすぎます（「%2」）。")
                         .arg(noteFieldLabel(field), fields[field])};
    return qint32(rounded);
}

} // namespace

QString argumentForm(const Value &value)
{
    // A number travels in plain decimal, as a conversion of the value gives it.
    if (value.isNumber()) {
        if (const auto number = value.toNumber())
            return formatNumber(*number);
    }
    return value.toText();
}

Result<WindowNote> convertNoteFields(const QStringList &fields)
{
    WindowNote note;
    // In field order, so that the first field that does not convert is the one named.
    const auto backColor = toColour(fields, NoteRecord::BackColor);
    if (!backColor)
        return Error{backColor.error()};
    const auto fontSize = toSingle(fields, NoteRecord::FontSize);
    if (!fontSize)
        return Error{fontSize.error()};
    float *geometry[] = {&note.top, &note.left, &note.width, &note.height};
    for (int f = NoteRecord::Top; f <= NoteRecord::Height; ++f) {
        const auto value = toSingle(fields, f);
        if (!value)
            return Error{value.error()};
        *geometry[f - NoteRecord::Top] = *value;
    }
    const auto foreColor = toColour(fields, NoteRecord::ForeColor);
    if (!foreColor)
        return Error{foreColor.error()};
    note.text = fields[NoteRecord::Text];
    note.backColor = *backColor;
    note.fontName = fields[NoteRecord::FontName];
    note.fontSize = *fontSize;
    note.foreColor = *foreColor;
    note.id = fields[NoteRecord::Id];
    return note;
}

Result<QString> EncodeNoteArgs(const NoteRecord &note)
{
    QString out;
    for (int f = 0; f < NoteRecord::FieldCount; ++f) {
        const QString text = argumentForm(note.field(f));
        if (text.contains(NoteArgsSeparator))
            return Error{QStringLiteral("付箋の%1に区切りの文字列「/\\/」が含まれているため、"
                                        "付箋を表示できません。")
                             .arg(noteFieldLabel(f))};
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
