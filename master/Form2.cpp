// Form2: the note editor, and owner of the tray menu SMENU. Stand-in until the editor lands: only
// the tray menu is real.
#include "Form2.h"

#include "Form1.h"

#include "platform/Twips.h"

#include <QAction>
#include <QMenu>

namespace master {

Form2::Form2(Form1 *main) : QWidget(nullptr), m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    IRO2 = 12632256;
    FNT2 = QStringLiteral("ＭＳ Ｐゴシック");
    FSIZE2 = 12;
    FIRO2 = 0;

    SMENU = new QMenu(QStringLiteral("サブメニュー"), this);
    SMENU->setObjectName(QStringLiteral("SMENU"));
    const auto addItem = [this](const char *name, const QString &caption, auto click) {
        QAction *action = SMENU->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, click);
        return action;
    };
    const auto addSeparator = [this](const char *name) {
        SMENU->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    addItem("FMKIDOU", QStringLiteral("Pinboa起動"), [this] { m_main->showMain(); });
    addSeparator("KUBU");
    addItem("FHYOUZI", QStringLiteral("付箋表示・再表示"), [this] {
        m_main->UL();
        m_main->HYOUZI();
    });
    addItem("FSAKUSEI", QStringLiteral("付箋作成"), [this] { m_main->sakusei_Click(); })
        ->setEnabled(false);
    addItem("FSYOUKYO", QStringLiteral("付箋消去"), [this] { m_main->syoukyo_Click(); })
        ->setEnabled(false);
    addSeparator("KUBUNN");
    addItem("SYURYOU", QStringLiteral("終了"), [this] { m_main->syuuryou_Click(); });
}

Form2::~Form2() = default;

void Form2::Command1_Click() {}
void Form2::Command2_Click() {}
void Form2::Command3_Click()
{
    close();
}

double Form2::Top() const
{
    return platform::outerGeometryTwips(this).y();
}

double Form2::Left() const
{
    return platform::outerGeometryTwips(this).x();
}

void Form2::moveTo(double top, double left)
{
    QRectF frame = platform::outerGeometryTwips(this);
    frame.moveTo(left, top);
    platform::setOuterGeometryTwips(this, frame);
}

} // namespace master
