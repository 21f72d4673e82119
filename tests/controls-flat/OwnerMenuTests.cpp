// COwnerMenu tests (being written).
#include <gtest/gtest.h>
