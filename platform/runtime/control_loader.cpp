#include "platform/runtime/control_loader.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QUiLoader>

#include "platform/controls/component.h"

namespace lexavo::runtime {
namespace {

class ControlLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (QWidget* control = controls::CreateControl(className, parent)) {
            control->setObjectName(name);
            return control;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

}  // namespace

std::unique_ptr<QWidget> LoadControls(const QByteArray& definition) {
    QBuffer buffer;
    buffer.setData(definition);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    ControlLoader loader;
    std::unique_ptr<QWidget> window(loader.load(&buffer));
    if (!window || !loader.errorString().isEmpty()) return nullptr;
    return window;
}

bool CloseWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == parent()) onClose_(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
}

}  // namespace lexavo::runtime
