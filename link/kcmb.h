// The device link library: port table, Modbus ASCII exchange and what is
// built on them.
#pragma once

#include "device_info.h"
#include "device_model.h"
#include "modbus_ascii.h"
#include "name_tables.h"
#include "port_table.h"
#include "register_services.h"
#include "term_data_file.h"
