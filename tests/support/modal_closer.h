// Closes modal boxes from a timer, keeping what they showed: for tests of code that shows a
// box and waits for the user.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace lexavo::test {

struct SeenBox {
    std::string title;
    std::string text;
    int buttons = 0;
    bool hasIcon = false;
    bool applicationModal = false;
    bool plainText = false;  // the text is shown as typed, never as markup
    std::vector<std::string> visibleWindows;  // titles of the other windows on screen then
};

class ModalCloser : public QObject {
public:
    // Starts watching; must be called once the application exists.
    explicit ModalCloser(QObject* parent = nullptr) : QObject(parent) {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(20);
    }
    // Stops watching; what was seen stays.
    void Stop() { timer_.stop(); }

    std::vector<SeenBox> seen;
    std::function<void(const SeenBox&)> onSeen;

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        SeenBox s;
        s.title = box->windowTitle().toStdString();
        s.text = box->text().toStdString();
        s.buttons = static_cast<int>(box->buttons().size());
        s.hasIcon = box->icon() != QMessageBox::NoIcon;
        s.applicationModal = box->windowModality() == Qt::ApplicationModal;
        s.plainText = box->textFormat() == Qt::PlainText;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != box && w->isVisible()) s.visibleWindows.push_back(w->windowTitle().toStdString());
        seen.push_back(s);
        if (onSeen) onSeen(s);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
        else box->done(0);
    }
    QTimer timer_;
};

}  // namespace lexavo::test
