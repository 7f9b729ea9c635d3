#pragma once

#include <QDialog>

#include <array>

class QGroupBox;
class QPushButton;
class QRadioButton;
struct AppContext;

// The controller selection shown at start: one-, two- or three-axis
// controller. Confirming fixes the run's axis count and step capacity and
// stores the choice in typ.cfg for the next start.
class frmStart : public QDialog
{
    Q_OBJECT

public:
    explicit frmStart(AppContext &ctx, QWidget *parent = nullptr);

    // The type whose option is on: lowest index first, 1..3.
    int selectedType() const;

signals:
    // OK: the type is fixed and stored, the dialog is closed.
    void confirmed(int type);
    // Cancel answered with Yes: the run ends without a main window.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void confirmChoice();
    void askToQuit();
    int readControllerType() const;
    void writeControllerType(int type) const;

    AppContext &m_ctx;
    QGroupBox *m_frame1 = nullptr;
    std::array<QRadioButton *, 3> m_optType{};
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    bool m_closingFromProgram = false;
};
