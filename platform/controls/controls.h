// The six control kinds, as Qt widgets.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

#include "platform/controls/component.h"

namespace lexavo::controls {

class LabelEx : public QLabel, public Component {
    Q_OBJECT
public:
    explicit LabelEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "LabelEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;
};

class ButtonEx : public QPushButton, public Component {
    Q_OBJECT
public:
    explicit ButtonEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "ButtonEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;
};

class SliderbarEx : public QSlider, public Component {
    Q_OBJECT
public:
    explicit SliderbarEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "SliderbarEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;
};

class EditboxEx : public QPlainTextEdit, public Component {
    Q_OBJECT
public:
    explicit EditboxEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "EditboxEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;
};

class ComboboxEx : public QComboBox, public Component {
    Q_OBJECT
public:
    explicit ComboboxEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "ComboboxEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;
    bool Command(int command, const std::vector<PropertyValue>& args) override;
};

class TitleBar;

// The skin: takes the window's own frame away and draws its title bar, with the title and
// buttons to close, maximize and minimize; the window moves by dragging the title bar. While
// the window grows, controls with anchors (dynamic property "anchors", such as
// "left,top,right,bottom") grow with it.
class WindowEx : public QWidget, public Component {
    Q_OBJECT
    Q_PROPERTY(QString title READ Title WRITE SetTitle)
public:
    static constexpr int kTitleBarHeight = 40;

    explicit WindowEx(QWidget* parent = nullptr);
    const char* KindName() const override { return "WindowEx"; }
    bool GetProperty(int number, PropertyValue* value) const override;
    bool SetProperty(int number, const PropertyValue& value) override;

    QString Title() const { return title_; }
    void SetTitle(const QString& title);

    // Takes over the frame of the window it sits in.
    void AttachToWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void ApplyAnchors();

    QString title_;
    QPointer<QWidget> window_;
    QPointer<TitleBar> titleBar_;
    QSize designSize_;
};

// Lets every skin control of a freshly loaded window take over its frame.
void InstallSkins(QWidget* window);

}  // namespace lexavo::controls
