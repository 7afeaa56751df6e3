// Form5: the version dialog.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace master {

class Form1;

class Form5 : public QWidget
{
    Q_OBJECT
public:
    // The dialog deletes itself when it closes; Form1::bazyon_Click places and shows it.
    explicit Form5(Form1 *main);
    ~Form5() override;

    QFrame *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Command1 = nullptr;

    void Command1_Click(); // back to the main window where the dialog stands

    // Dialog Top and Left in twips (outer frame); moving it.
    double Top() const;
    double Left() const;
    void moveTo(double top, double left);

    // The families tried for the product name, the first one wanted: a rounded pop face.
    static QStringList productNameFamilies();

private:
    Form1 *m_main;
};

} // namespace master
