// Creates a window and its controls from a stored definition (a Qt Designer .ui file whose
// controls are of the component library's kinds).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>

namespace lexavo::runtime {

// Null when the definition cannot be read or names a kind nobody makes.
std::unique_ptr<QWidget> LoadControls(const QByteArray& definition);

// Reports a window's close; the run time destroys the window afterwards.
class CloseWatcher : public QObject {
public:
    CloseWatcher(QWidget* window, std::function<void(QWidget*)> onClose)
        : QObject(window), onClose_(std::move(onClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QWidget*)> onClose_;
};

}  // namespace lexavo::runtime
