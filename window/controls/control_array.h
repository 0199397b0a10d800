// A control array: controls of one name told apart by their index (which need not start
// at 0).
#pragma once

#include <map>

namespace vx414 {

template <class Control>
class ControlArray {
public:
    void add(int index, Control* control) { items_[index] = control; }
    // nullptr for an index the array does not hold.
    Control* operator[](int index) const
    {
        const auto it = items_.find(index);
        return it == items_.end() ? nullptr : it->second;
    }

private:
    std::map<int, Control*> items_;
};

}  // namespace vx414
