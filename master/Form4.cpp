// Form4: the erase dialog. Stand-in until the dialog lands.
#include "Form4.h"

#include "Form1.h"

namespace master {

Form4::Form4(Form1 *main) : QWidget(nullptr), m_main(main)
{
    setObjectName(QStringLiteral("Form4"));
}

Form4::~Form4() = default;

void Form4::DHYOZI() {}
void Form4::Command1_Click() {}
void Form4::Command2_Click()
{
    close();
}

} // namespace master
