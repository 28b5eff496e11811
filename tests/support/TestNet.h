#pragma once

#include <QString>

namespace TestNet {

/// A loopback address of this test process's own /24 (127.n.i.@p nHost), so that
/// servers of parallel test processes never share an address.
QString Address(int nHost);

} // namespace TestNet
