#!/usr/bin/python3
"""A storing SOAP 1.1 MES for IO_UpData_Common (namespace "RO_dErodo"), built
on spyne with schema validation of every request.

Usage: spyne_mes_store.py PORT LOGFILE
It listens on 127.0.0.1:PORT (0 = any), prints "PORT <n>" once it is ready
and appends one JSON line per stored call to LOGFILE (the text values it
decoded). A unit whose SerialNumber starts with "REFUSE" is answered with a
SOAP Fault (faultcode Client) and not stored.
"""
import json
import sys
from wsgiref.simple_server import WSGIRequestHandler, make_server

from spyne import Application, ByteArray, Integer32, ServiceBase, Unicode, rpc
from spyne.model.fault import Fault
from spyne.protocol.soap import Soap11
from spyne.server.wsgi import WsgiApplication

Text = Unicode(nillable=True, min_occurs=1)
Blob = ByteArray(nillable=True, min_occurs=1)
Int = Integer32(nillable=False, min_occurs=1)

LOG = None


class QuerySN(ServiceBase):
    @rpc(Text, Text, Text, Text, Text, Text, Text, Blob, Blob, Blob, Text, Text, Text, Int, Text,
         _returns=Unicode, _body_style="wrapped")
    def IO_UpData_Common(ctx, OrderNo, SerialNumber, MacList, ComponentSnList, DealResult, BugType, BugReason,
                         TempColumn1, TempColumn2, TempColumn3, WorkStation, ToolType, Recorder, SystemType,
                         Version):
        if SerialNumber and SerialNumber.startswith("REFUSE"):
            raise Fault(faultcode="Client", faultstring="unit %s is not in this order" % SerialNumber)
        record = {"OrderNo": OrderNo, "SerialNumber": SerialNumber, "DealResult": DealResult,
                  "BugType": BugType, "WorkStation": WorkStation, "Version": Version}
        with open(LOG, "a", encoding="utf-8") as log:
            log.write(json.dumps(record, ensure_ascii=False) + "\n")
        return "OK"


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    global LOG
    port = int(sys.argv[1])
    LOG = sys.argv[2]
    app = Application([QuerySN], tns="RO_dErodo", name="CS_QuerySN",
                      in_protocol=Soap11(validator="lxml"), out_protocol=Soap11())
    server = make_server("127.0.0.1", port, WsgiApplication(app), handler_class=QuietHandler)
    print("PORT", server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
