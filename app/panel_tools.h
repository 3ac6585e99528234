// What the main panel offers around the link besides its twenty controls: next to the COM
// ring the device the chosen COM number names and whether it is there, a mark on every COM
// number whose device is there, the Ports… button with its dialog, the Log button (and
// Ctrl+L) with the Log window, and the Sequence… button (and Ctrl+E) with the Sequence
// window.
#pragma once

#include <string>

class LogWindow;
class SequenceWindow;
class QBoxLayout;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// What follows a COM number in the ring when its device is there; the item texts still
// begin with "COM n".
inline constexpr const char* kPresentMark = " \u2022";

// Puts the tools on the panel window, into place (a layout below the link frame).
void InstallPanelTools(QWidget* window, QComboBox* comRing, QBoxLayout* place);
// The tools' texts in Czech (start-up calls this with the panel's other Czech texts).
void ApplyCzechToolTexts(QWidget* window);

// Looks again which device every COM number names: the marks in the ring and the device
// shown for the chosen one. Done by itself when the panel is shown, a COM number is
// chosen, a port is assigned, or the device or settings folder changes.
void RefreshPorts(QWidget* window);

QLabel* PortDeviceLabel(QWidget* window);
QPushButton* PortsButton(QWidget* window);
QPushButton* LogButton(QWidget* window);
LogWindow* PanelLogWindow(QWidget* window);
QPushButton* SequenceButton(QWidget* window);
// The Sequence window, made when first asked for.
SequenceWindow* PanelSequenceWindow(QWidget* window);
