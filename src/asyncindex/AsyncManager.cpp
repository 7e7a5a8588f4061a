// The one instantiation of the index templates that files use: fan-out 8, double
// time stamps compared with TsComparer<double>.
#include "asyncindex/AsyncManager.h"

static_assert(InnerNodeLayout<8>::kBytes == 136, "stored inner node of fan-out 8");
static_assert(LeafNodeLayout::kBytes == 48, "stored leaf");

template class InnerNode<8, double, TsComparer<double>>;
template class LeafNode<double, TsComparer<double>>;
template class Iterator<double, TsComparer<double>>;
template class Channel<8, double, TsComparer<double>>;
template class AsyncManager<8, double, TsComparer<double>>;
