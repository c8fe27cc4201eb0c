#include "registry/Student.h"

#include "roster/RosterCheck.h"

namespace velmora::registry {

bool Student::hasIdNumber() const
{
    return roster::isResidentIdNumber(id);
}

std::string Student::idKey() const
{
    std::string key = id;
    if (!key.empty() && key.back() == 'x')
        key.back() = 'X';
    return key;
}

std::string Student::noIdName() const
{
    return school + "_" + classNumber + "_" + name;
}

std::string Student::shown() const
{
    return classNumber.empty() ? name : classNumber + " " + name;
}

} // namespace velmora::registry
