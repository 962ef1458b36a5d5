#!/usr/bin/python3
"""A Modbus ASCII server of another project (pymodbus) on a serial device.

The interoperability tests talk to it through the device link library. Input
and holding registers are one block, so that words written with function 16
read back with function 4: register i (0 <= i < COUNT) starts as 0x1000 + i;
registers from COUNT on do not exist. Once the serial device is open the
server creates the file given with --ready.

Each reply waits --turnaround-ms first, as a device on a real line answers
only after the request's line time and its own turnaround: over a
pseudo-terminal an instant reply can come before the requester listens.
"""
import argparse
import asyncio
import pathlib
import sys
import time

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusAsciiFramer

COUNT = 100


async def serve(port, unit, ready, turnaround_ms):
    def turnaround(response):
        time.sleep(turnaround_ms / 1000)
        return response, False

    block = ModbusSequentialDataBlock(0, [0x1000 + i for i in range(COUNT)])
    slave = ModbusSlaveContext(hr=block, ir=block, zero_mode=True)
    context = ModbusServerContext(slaves={unit: slave}, single=False)
    server = await StartAsyncSerialServer(context=context, framer=ModbusAsciiFramer, port=port,
                                          baudrate=19200, response_manipulator=turnaround,
                                          defer_start=True)
    await server.start()
    if server.transport is None:
        print(f"modbus_ascii_server: cannot open {port}", file=sys.stderr)
        return 1
    pathlib.Path(ready).touch()
    await server.serve_forever()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", required=True, help="serial device to serve")
    parser.add_argument("--unit", type=int, default=1, help="device address")
    parser.add_argument("--ready", required=True, help="file created once the server listens")
    parser.add_argument("--turnaround-ms", type=float, default=20, help="pause before each reply")
    args = parser.parse_args()
    return asyncio.run(serve(args.port, args.unit, args.ready, args.turnaround_ms))


if __name__ == "__main__":
    sys.exit(main())
