#include "without_cdo.h"

#include "error.h"
#include "sim_client.h"

namespace orvtest {

WithoutCdo::WithoutCdo() {
    try {
        simclient::HideCdoRegistration();
    } catch (const orv::Error& e) {
        error_ = e.description();
    }
}

WithoutCdo::~WithoutCdo() { simclient::RestoreCdoRegistration(); }

}  // namespace orvtest
