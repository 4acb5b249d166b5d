// SPDX-License-Identifier: MIT
// Reports of the restore sequence name the dynamic type of the exception that
// ended it. For the conversion and INI reader errors those names are the
// long-standing ones of Boost's exception wrapper
// (clone_impl<error_info_injector<E>>); newer Boost releases throw another
// wrapper type. Re-throwing through here keeps the reported type name stable
// whichever Boost the tool is built with.
#ifndef SETTINGS_CLASSICBOOSTERROR_H_
#define SETTINGS_CLASSICBOOSTERROR_H_

#include <boost/exception/exception.hpp>

namespace nTQVLKAET100 {

template <class E>
[[noreturn]] void throwClassicBoostError(const E& error) {
  using Injected = boost::exception_detail::error_info_injector<E>;
  throw boost::exception_detail::clone_impl<Injected>(Injected(error));
}

}  // namespace nTQVLKAET100

#endif  // SETTINGS_CLASSICBOOSTERROR_H_
