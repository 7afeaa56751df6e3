// Form4: the erase dialog: choose notes from a list and remove them from MDATA.INI.
#pragma once

#include <QWidget>

namespace master {

class Form1;

class Form4 : public QWidget
{
    Q_OBJECT
public:
    // Creating the dialog runs Form_Load (fills the list); Form1::syoukyo_Click places and shows it.
    explicit Form4(Form1 *main);
    ~Form4() override;

    void DHYOZI();
    void Command1_Click(); // erase the chosen notes
    void Command2_Click(); // cancel

private:
    Form1 *m_main;
};

} // namespace master
