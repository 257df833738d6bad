// Storage of the shared record and the derived quantities.
#include "base/record.hpp"

namespace zefrin {

PassageInput input{};
Derived derived{};
std::int32_t icount = 0;

}  // namespace zefrin
