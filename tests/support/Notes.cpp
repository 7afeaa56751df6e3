// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Notes.h"

#include "store/Cp932.h"
#include "store/NoteArgs.h"

#include <QtGlobal>

namespace testsupport {

using store::Value;

store::NoteRecord note(const Value &id, const QString &text)
{
    store::NoteRecord r;
    r.NoteText = Value::text(text);
    r.NoteBackColor = Value::text(QStringLiteral("12632256"));
    r.NoteFontName = Value::text(Gothic);
    r.NoteFontSize = Value::number(12);
    r.NoteTop = Value::number(600);
    r.NoteLeft = Value::number(1200);
    r.NoteWidth = Value::number(5430);
    r.NoteHeight = Value::number(250);
    r.NoteForeColor = Value::number(0);
    r.NoteId = id;
    return r;
}

store::NoteRecord note(double id, const QString &text)
{
    return note(Value::number(id), text);
}

store::NoteRecord noteAt(double id, double top, double left)
{
    store::NoteRecord r = note(id);
    r.NoteTop = Value::number(top);
    r.NoteLeft = Value::number(left);
    return r;
}

QByteArray recordBytes(const store::NoteRecord &record)
{
    return recordBytes(QList<store::NoteRecord>{record});
}

QByteArray recordBytes(const QList<store::NoteRecord> &records)
{
    const auto bytes = store::serializeNoteRecords(records);
    if (!bytes)
        qFatal("a test note cannot be stored: %s", qPrintable(bytes.error()));
    return bytes.value();
}

QString noteArgs(const store::NoteRecord &record)
{
    const auto args = store::EncodeNoteArgs(record);
    if (!args)
        qFatal("a test note cannot be handed to a window: %s", qPrintable(args.error()));
    return args.value();
}

QByteArray noteLine(const QByteArray &id, const QByteArray &text, const QByteArray &position)
{
    return "\"" + text + "\",\"12632256\",\"f\",12," + position + ",5430,250,0," + id + "\r\n";
}

QByteArray cp932(const QString &text)
{
    const auto bytes = store::cp932::encode(text);
    if (!bytes)
        qFatal("a test text is not code page 932: %s", qPrintable(bytes.error()));
    return bytes.value();
}

} // namespace testsupport
