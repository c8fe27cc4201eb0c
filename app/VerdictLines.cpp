#include "app/VerdictLines.h"

namespace velmora::app {

std::string verdictWho(const std::optional<registry::Student>& student, std::string_view shownName)
{
    if (!student)
        return std::string(shownName) + std::string(NOT_IN_ROSTER);
    if (student->classNumber.empty())
        return student->name;
    return student->name + "  " + student->classNumber + "班";
}

VerdictLine verdictLine(std::optional<registry::PhotoCheck> check)
{
    if (!check)
        return {std::string(CHECKING_TEXT), VerdictLine::Colour::Plain, false};
    if (*check == registry::PhotoCheck::Passed)
        return {registry::verdictText(*check), VerdictLine::Colour::Pass, false};
    return {registry::verdictText(*check), VerdictLine::Colour::Reshoot, true};
}

} // namespace velmora::app
