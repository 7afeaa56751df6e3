// Form5: the version dialog.
#pragma once

#include <QWidget>

namespace master {

class Form1;

class Form5 : public QWidget
{
    Q_OBJECT
public:
    explicit Form5(Form1 *main);
    ~Form5() override;

    void Command1_Click(); // back to the main window where the dialog stands

private:
    Form1 *m_main;
};

} // namespace master
