#pragma once

#include <QDialog>

// The base of the program's modal dialogs: WM_END_MODAL (lparam = code) ends the dialog with
// that code, so a closing frame can end a dialog it did not open.
class CDlgModalNativeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDlgModalNativeDialog(QWidget* parent);
    // Ends the modal loop with the code.
    virtual void EndModal(int code);
    // Runs the dialog modally; its result, or -1 when it could not be shown.
    int DoModal();

    // Sends WM_END_MODAL with the code to every dialog below the widget, innermost first; the
    // dialogs of this kind and the HTML dialogs end with it, the others ignore it.
    static void EndAllBelow(QWidget* widget, int code);

protected:
    bool event(QEvent* event) override;
};

// The About box: product and version, copyright, comments.
class CDlgAbout : public CDlgModalNativeDialog {
    Q_OBJECT
public:
    explicit CDlgAbout(QWidget* parent);
    // The three lines as shown, for tests.
    QString ProductLine() const;
    QString CopyrightLine() const;
    QString CommentsLine() const;

private:
    class QLabel* product_;
    class QLabel* copyright_;
    class QLabel* comments_;
};
