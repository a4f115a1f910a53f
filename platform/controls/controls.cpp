#include "platform/controls/controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace lexavo::controls {
namespace {

bool AsInt(const PropertyValue& v, std::int32_t* out) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) return *out = *i, true;
    return false;
}
bool AsText(const PropertyValue& v, QString* out) {
    if (const auto* s = std::get_if<std::string>(&v)) return *out = QString::fromStdString(*s), true;
    return false;
}
PropertyValue Text(const QString& s) { return s.toStdString(); }

}  // namespace

bool Component::Command(int, const std::vector<PropertyValue>&) { return false; }

Component* AsComponent(QWidget* widget) { return dynamic_cast<Component*>(widget); }

QWidget* CreateControl(const QString& kind, QWidget* parent) {
    if (kind == "LabelEx") return new LabelEx(parent);
    if (kind == "ButtonEx") return new ButtonEx(parent);
    if (kind == "SliderbarEx") return new SliderbarEx(parent);
    if (kind == "EditboxEx") return new EditboxEx(parent);
    if (kind == "ComboboxEx") return new ComboboxEx(parent);
    if (kind == "WindowEx") return new WindowEx(parent);
    return nullptr;
}

LabelEx::LabelEx(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);  // captions show data such as paths, never markup
}

bool LabelEx::GetProperty(int number, PropertyValue* value) const {
    if (number != kCaption) return false;
    *value = Text(text());
    return true;
}

bool LabelEx::SetProperty(int number, const PropertyValue& value) {
    QString s;
    if (number != kCaption || !AsText(value, &s)) return false;
    setText(s);
    return true;
}

ButtonEx::ButtonEx(QWidget* parent) : QPushButton(parent) {}

bool ButtonEx::GetProperty(int number, PropertyValue* value) const {
    if (number == kCaption) *value = Text(text());
    else if (number == kDisabled) *value = std::int32_t{isEnabled() ? 0 : 1};
    else return false;
    return true;
}

bool ButtonEx::SetProperty(int number, const PropertyValue& value) {
    QString s;
    std::int32_t i;
    if (number == kCaption && AsText(value, &s)) setText(s);
    else if (number == kDisabled && AsInt(value, &i)) setEnabled(i == 0);
    else return false;
    return true;
}

SliderbarEx::SliderbarEx(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(-100, 100);
    setSingleStep(1);
    setPageStep(10);
}

bool SliderbarEx::GetProperty(int number, PropertyValue* value) const {
    if (number != kPosition) return false;
    *value = std::int32_t{this->value()};
    return true;
}

bool SliderbarEx::SetProperty(int number, const PropertyValue& value) {
    std::int32_t i;
    if (number != kPosition || !AsInt(value, &i)) return false;
    setValue(i);
    return true;
}

EditboxEx::EditboxEx(QWidget* parent) : QPlainTextEdit(parent) {}

bool EditboxEx::GetProperty(int number, PropertyValue* value) const {
    if (number != kText) return false;
    // A multi-line box hands its lines out separated by CR LF.
    QString s = toPlainText();
    s.replace(QChar('\n'), QStringLiteral("\r\n"));
    *value = Text(s);
    return true;
}

bool EditboxEx::SetProperty(int number, const PropertyValue& value) {
    QString s;
    if (number != kText || !AsText(value, &s)) return false;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(s);
    return true;
}

ComboboxEx::ComboboxEx(QWidget* parent) : QComboBox(parent) {}

bool ComboboxEx::GetProperty(int number, PropertyValue* value) const {
    if (number == kSelectedIndex) *value = std::int32_t{currentIndex()};
    else if (number == kCurrentText) *value = Text(currentText());
    else return false;
    return true;
}

bool ComboboxEx::SetProperty(int number, const PropertyValue& value) {
    std::int32_t i;
    QString s;
    if (number == kSelectedIndex && AsInt(value, &i)) setCurrentIndex(i >= 0 && i < count() ? i : -1);
    else if (number == kCurrentText && AsText(value, &s)) setCurrentIndex(findText(s, Qt::MatchExactly));
    else return false;
    return true;
}

bool ComboboxEx::Command(int command, const std::vector<PropertyValue>& args) {
    // args[0] stands for the control itself; the position is the 2nd, the text the 6th.
    if (command != kAddEntry || args.size() < 6) return false;
    std::int32_t position = -1;
    QString text;
    AsInt(args[1], &position);
    AsText(args[5], &text);
    // Adding an entry selects nothing: the selection is the program's to make.
    const int selected = currentIndex();
    if (position < 0 || position > count()) addItem(text);
    else insertItem(position, text);
    if (selected < 0) setCurrentIndex(-1);
    return true;
}

// The title bar the skin draws across the top of its window.
class TitleBar : public QWidget {
public:
    explicit TitleBar(QWidget* window) : QWidget(window) {
        setObjectName("titleBar");
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(0x2B, 0x57, 0x9A));
        p.setColor(QPalette::WindowText, Qt::white);
        setPalette(p);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(36, 0, 4, 0);
        layout->setSpacing(2);
        title_ = new QLabel(this);
        title_->setObjectName("title");
        title_->setTextFormat(Qt::PlainText);
        QFont f = title_->font();
        f.setPixelSize(16);
        title_->setFont(f);
        layout->addWidget(title_, 1);
        minimize_ = AddButton(layout, "最小化", "—");
        maximize_ = AddButton(layout, "最大化", "□");
        close_ = AddButton(layout, "关闭", "✕");
        connect(minimize_, &QToolButton::clicked, window, &QWidget::showMinimized);
        // Without a frame the window manager may not maximize the window, so the skin
        // fills the screen's work area itself and remembers the place to go back to.
        connect(maximize_, &QToolButton::clicked, window, [this, window] {
            if (normalPlace_.isValid()) {
                window->setGeometry(normalPlace_);
                normalPlace_ = QRect();
            } else {
                normalPlace_ = window->geometry();
                window->setGeometry(window->screen()->availableGeometry());
            }
        });
        connect(close_, &QToolButton::clicked, window, &QWidget::close);
    }

    void SetTitle(const QString& t) { title_->setText(t); }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        dragFrom_ = e->globalPosition().toPoint() - window()->frameGeometry().topLeft();
        dragging_ = true;
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_ && !normalPlace_.isValid()) window()->move(e->globalPosition().toPoint() - dragFrom_);
    }
    void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }
    void mouseDoubleClickEvent(QMouseEvent*) override { maximize_->click(); }

private:
    QToolButton* AddButton(QHBoxLayout* layout, const char* name, const char* glyph) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAccessibleName(QString::fromUtf8(name));
        b->setToolTip(QString::fromUtf8(name));
        b->setText(QString::fromUtf8(glyph));
        b->setAutoRaise(true);
        b->setFixedSize(36, 28);
        b->setStyleSheet("QToolButton { color: white; border: none; } QToolButton:hover { background: #3C6DB8; }");
        layout->addWidget(b);
        return b;
    }

    QLabel* title_;
    QToolButton* minimize_;
    QToolButton* maximize_;
    QToolButton* close_;
    QPoint dragFrom_;
    bool dragging_ = false;
    QRect normalPlace_;  // valid while maximized
};

WindowEx::WindowEx(QWidget* parent) : QWidget(parent) {}

bool WindowEx::GetProperty(int, PropertyValue*) const { return false; }
bool WindowEx::SetProperty(int, const PropertyValue&) { return false; }

void WindowEx::SetTitle(const QString& title) {
    title_ = title;
    if (titleBar_) titleBar_->SetTitle(title);
    if (window_) window_->setWindowTitle(title);
}

void InstallSkins(QWidget* window) {
    for (WindowEx* skin : window->findChildren<WindowEx*>()) skin->AttachToWindow();
}

void WindowEx::AttachToWindow() {
    QWidget* w = window();
    if (w == this || w == window_) return;
    if (window_) window_->removeEventFilter(this);
    window_ = w;
    // Changing the flags re-creates the native window at the origin; keep the stored place.
    const QRect place = w->geometry();
    w->setWindowFlag(Qt::FramelessWindowHint, true);
    w->setGeometry(place);
    w->setWindowTitle(title_);
    titleBar_ = new TitleBar(w);
    titleBar_->SetTitle(title_);
    titleBar_->setGeometry(0, 0, w->width(), kTitleBarHeight);
    titleBar_->lower();
    raise();
    w->installEventFilter(this);
}

bool WindowEx::eventFilter(QObject* watched, QEvent* e) {
    if (watched == window_ && e->type() == QEvent::Show && designSize_.isEmpty()) {
        designSize_ = window_->size();
        for (QWidget* child : window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            child->setProperty("designGeometry", child->geometry());
    }
    if (watched == window_ && e->type() == QEvent::Resize) {
        if (titleBar_) titleBar_->setGeometry(0, 0, window_->width(), kTitleBarHeight);
        ApplyAnchors();
    }
    return QWidget::eventFilter(watched, e);
}

void WindowEx::ApplyAnchors() {
    if (!window_ || designSize_.isEmpty()) return;
    const int dx = window_->width() - designSize_.width();
    const int dy = window_->height() - designSize_.height();
    for (QWidget* child : window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QString anchors = child->property("anchors").toString();
        const QRect design = child->property("designGeometry").toRect();
        if (anchors.isEmpty() || design.isNull()) continue;
        QRect g = design;
        const bool left = anchors.contains("left"), right = anchors.contains("right");
        const bool top = anchors.contains("top"), bottom = anchors.contains("bottom");
        if (left && right) g.setWidth(design.width() + dx);
        else if (right) g.moveLeft(design.left() + dx);
        if (top && bottom) g.setHeight(design.height() + dy);
        else if (bottom) g.moveTop(design.top() + dy);
        child->setGeometry(g);
    }
}

void WindowEx::paintEvent(QPaintEvent*) {
    // The window's icon: a speaker with two sound waves.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::white);
    const QPointF body[] = {{3, 9}, {8, 9}, {13, 4}, {13, 20}, {8, 15}, {3, 15}};
    p.drawPolygon(body, 6);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(11, 7, 6, 10), -60 * 16, 120 * 16);
    p.drawArc(QRectF(11, 3, 11, 18), -60 * 16, 120 * 16);
}

}  // namespace lexavo::controls
