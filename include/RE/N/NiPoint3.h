#pragma once

namespace RE {

struct NiPoint3 {
  float x, y, z;
};
static_assert(sizeof(NiPoint3) == 12);

}  // namespace RE
