#include "roster/RosterPanel.h"

namespace velmora::roster {

RosterPanel::RosterPanel(QWidget* window, platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_dialogs(dialogs)
{
}

RosterPanel::~RosterPanel() = default;

void RosterPanel::cleanUp() {}
void RosterPanel::exportTemplate() {}
void RosterPanel::importRoster() {}

} // namespace velmora::roster
