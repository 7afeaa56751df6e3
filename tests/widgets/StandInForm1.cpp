// Stand-in for the master's main window while the editor tests are built without it: the
// public operations the editor calls, with the note start done through the real platform.
#include "master/Form1.h"
#include "master/Form2.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "store/NoteArgs.h"
#include "store/NoteStore.h"

#include <QElapsedTimer>
#include <QThread>

namespace master {

namespace {
QPointer<Form2> s_editor;
}

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    resize(317, 90);
}
Form1::~Form1()
{
    delete s_editor;
}

void Form1::APC()
{
    Desktop.APC();
}
void Form1::HYOUZI()
{
    Desktop.HYOUZI();
}
void Form1::UL()
{
    Desktop.UL();
}

void Form1::sakusei_Click()
{
    Form2 *ed = editor();
    ed->moveTo(Top(), Left());
    ed->TTP = Top();
    ed->LLF = Left();
    hide();
    ed->show();
}
void Form1::syoukyo_Click() {}
void Form1::bazyon_Click() {}
void Form1::syuuryou_Click() {}

Form2 *Form1::editor()
{
    if (!s_editor)
        s_editor = new Form2(this);
    return s_editor;
}
void Form1::editorUnloaded()
{
    s_editor = nullptr;
}
void Form1::showMain()
{
    MainMode = 1;
    show();
}

double Form1::Top() const
{
    return platform::outerGeometryTwips(this).y();
}
double Form1::Left() const
{
    return platform::outerGeometryTwips(this).x();
}
void Form1::moveTo(double top, double left)
{
    const double tpp = platform::twipsPerPixel(this);
    move(platform::toPixels(left, tpp), platform::toPixels(top, tpp));
}

bool NoteDesktop::APC(QString *error)
{
    AppDir = platform::programFolder();
    const auto n = store::NoteStore(AppDir).countNoteLines();
    if (!n) {
        if (error)
            *error = n.error();
        return false;
    }
    NoteLineCount = *n;
    return true;
}
bool NoteDesktop::HYOUZI(QString *)
{
    return true;
}
void NoteDesktop::UL() {}

qint64 NoteDesktop::startNote(const store::NoteRecord &note, QString *error)
{
    const auto args = store::EncodeNoteArgs(note);
    if (!args) {
        if (error)
            *error = args.error();
        return 0;
    }
    const qint64 pid = platform::startNoteWindow(AppDir, *args, error);
    if (!pid)
        return 0;
    const store::NoteStore noteStore(AppDir);
    const QString id = note.NoteId.toText();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        const auto entries = noteStore.readRunningEntries();
        if (entries && std::any_of(entries->begin(), entries->end(), [&](const auto &e) {
                return e.RunningId.toText() == id;
            }))
            break;
        QThread::msleep(20);
    }
    noteStore.recordTaskId(id, pid);
    return pid;
}

} // namespace master
