// Form5: the version dialog. Stand-in until the dialog lands.
#include "Form5.h"

#include "Form1.h"

namespace master {

Form5::Form5(Form1 *main) : QWidget(nullptr), m_main(main)
{
    setObjectName(QStringLiteral("Form5"));
}

Form5::~Form5() = default;

void Form5::Command1_Click()
{
    close();
}

} // namespace master
