// One half of a planted duplicate: check-odr.sh --planted must refuse the
// pair. Each file means its class to be its own but forgot the anonymous
// namespace.
#include "planted.h"

class Model {
public:
    explicit Model(int rows) : rows_(rows) {}
    virtual ~Model() = default;
    virtual int Count() const { return rows_; }

private:
    int rows_;
};

int CountA() { return Model(3).Count(); }

int main() { return CountA() + CountB() == 5 ? 0 : 1; }
