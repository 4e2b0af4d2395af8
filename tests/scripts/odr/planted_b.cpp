// The other half of the planted duplicate.
#include "planted.h"

class Model {
public:
    explicit Model(const char* name) : name_(name) {}
    virtual ~Model() = default;
    virtual int Count() const { return name_ ? 2 : 0; }

private:
    const char* name_;
};

int CountB() { return Model("b").Count(); }
