// The device link library: port table, Modbus ASCII exchange and what is
// built on them.
#pragma once

#include <kcmb/device_info.h>
#include <kcmb/device_model.h>
#include <kcmb/link_counts.h>
#include <kcmb/modbus_ascii.h>
#include <kcmb/name_tables.h>
#include <kcmb/port_table.h>
#include <kcmb/pyrometer.h>
#include <kcmb/register_services.h>
#include <kcmb/term_data_file.h>
