#pragma once

namespace zelo {

// Base of the objects that can take over another object's state. Assign from an unrelated class does nothing.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual void Assign(const TPersistent& source) { (void)source; }

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;
};

} // namespace zelo
