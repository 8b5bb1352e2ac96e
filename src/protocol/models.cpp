#include "protocol/models.h"

namespace dravik::protocol {

namespace {
constexpr bool GroupsInEnumOrder() {
    for (std::size_t i = 0; i < std::size(kGroups); ++i)
        if (kGroups[i].group != static_cast<ModelGroup>(i)) return false;
    return true;
}
static_assert(GroupsInEnumOrder());
}  // namespace

std::optional<ModelGroup> GroupOf(std::string_view model) {
    for (const GroupEntry& g : kGroups)
        if (Contains(g.members, model)) return g.group;
    return std::nullopt;
}

std::string_view GroupName(ModelGroup group) { return kGroups[static_cast<std::size_t>(group)].name; }

ModelList GroupMembers(ModelGroup group) { return kGroups[static_cast<std::size_t>(group)].members; }

}  // namespace dravik::protocol
