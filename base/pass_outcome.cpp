#include "base/pass_outcome.h"

namespace rankmoth::base {

std::string_view StateName(ItemState state) {
    switch (state) {
    case ItemState::Found:
        return "found";
    case ItemState::NotFound:
        return "not_found";
    case ItemState::Incomplete:
        break;
    }
    return "incomplete";
}

std::string_view ZoneName(Zone zone) {
    switch (zone) {
    case Zone::Upper:
        return "upper";
    case Zone::Middle:
        return "middle";
    case Zone::Lower:
        return "lower";
    case Zone::None:
        break;
    }
    return "";
}

bool StateFromName(std::string_view name, ItemState& state) {
    for (const ItemState s : {ItemState::Found, ItemState::NotFound, ItemState::Incomplete}) {
        if (StateName(s) == name) {
            state = s;
            return true;
        }
    }
    return false;
}

} // namespace rankmoth::base
