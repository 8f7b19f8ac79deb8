#include "platform/parallel/cancel.h"

namespace plat {
namespace {

thread_local const CancelFlag* t_flag = nullptr;

}  // namespace

const CancelFlag* CurrentCancelFlag() { return t_flag; }

bool Cancelled() { return t_flag != nullptr && t_flag->cancelled(); }

CancelScope::CancelScope(const CancelFlag* flag) : outer_(t_flag) { t_flag = flag; }

CancelScope::~CancelScope() { t_flag = outer_; }

}  // namespace plat
