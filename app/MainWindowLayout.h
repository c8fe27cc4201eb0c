#pragma once

class QWidget;

namespace velmora::app {

// Creates every control of the main window with its name, place, size, text,
// colours, font, visibility and stacking order. Behaviour is bound elsewhere.
void buildMainWindowControls(QWidget* window);

} // namespace velmora::app
