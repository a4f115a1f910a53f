// The component library's side of every control: properties by the library's own numbers
// and commands. The run time hands it every property number from 8 on, less 8.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class QWidget;

namespace lexavo::controls {

// A number or a text (UTF-8).
using PropertyValue = std::variant<std::int32_t, std::string>;

// Library property numbers.
enum LibraryProperty : int {
    kDisabled = 1,        // ButtonEx: 1 disabled, 0 enabled
    kPosition = 8,        // SliderbarEx: the position within the range
    kCaption = 12,        // ButtonEx, LabelEx
    kSelectedIndex = 29,  // ComboboxEx: index from 0, -1 for none
    kText = 30,           // EditboxEx: the whole content, lines separated by CR LF
    kCurrentText = 37,    // ComboboxEx: the text it shows
};

// Library commands.
enum LibraryCommand : int {
    // ComboboxEx, eight arguments: the control, the position (-1: the end), three
    // left at their defaults, the entry's text, one more default, and a number (40).
    kAddEntry = 1,
};

class Component {
public:
    virtual ~Component() = default;
    virtual const char* KindName() const = 0;
    // False when the kind has no such property or the value is of the wrong kind.
    virtual bool GetProperty(int number, PropertyValue* value) const = 0;
    virtual bool SetProperty(int number, const PropertyValue& value) = 0;
    virtual bool Command(int command, const std::vector<PropertyValue>& args);
};

// The component side of a control, or null for a widget that is not one.
Component* AsComponent(QWidget* widget);

// Creates a control of the named kind ("ButtonEx", ...); null for an unknown kind.
QWidget* CreateControl(const QString& kind, QWidget* parent);

}  // namespace lexavo::controls
