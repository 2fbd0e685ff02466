#!/usr/bin/python3
"""An independent SOAP 1.1 server for IO_UpData_Common (namespace "RO_dErodo"),
built on spyne with schema validation of every request.

Usage: spyne_mes_server.py [PORT]
It listens on 127.0.0.1:PORT (0 or none = any), prints "PORT <n>" once it is
ready, and answers each call with a JSON text of the values it received, so the
caller can check that every value arrived intact. Texts are JSON strings or
null; blobs are lists of byte values or null.
"""
import json
import sys
from wsgiref.simple_server import WSGIRequestHandler, make_server

from spyne import Application, ByteArray, Integer32, ServiceBase, Unicode, rpc
from spyne.protocol.soap import Soap11
from spyne.server.wsgi import WsgiApplication

Text = Unicode(nillable=True, min_occurs=1)
Blob = ByteArray(nillable=True, min_occurs=1)
Int = Integer32(nillable=False, min_occurs=1)

NAMES = ["OrderNo", "SerialNumber", "MacList", "ComponentSnList", "DealResult", "BugType", "BugReason",
         "TempColumn1", "TempColumn2", "TempColumn3", "WorkStation", "ToolType", "Recorder", "SystemType",
         "Version"]


def blob_value(value):
    if value is None:
        return None
    return list(b"".join(value))


class QuerySN(ServiceBase):
    @rpc(Text, Text, Text, Text, Text, Text, Text, Blob, Blob, Blob, Text, Text, Text, Int, Text,
         _returns=Unicode, _body_style="wrapped")
    def IO_UpData_Common(ctx, OrderNo, SerialNumber, MacList, ComponentSnList, DealResult, BugType, BugReason,
                         TempColumn1, TempColumn2, TempColumn3, WorkStation, ToolType, Recorder, SystemType,
                         Version):
        values = [OrderNo, SerialNumber, MacList, ComponentSnList, DealResult, BugType, BugReason,
                  blob_value(TempColumn1), blob_value(TempColumn2), blob_value(TempColumn3), WorkStation,
                  ToolType, Recorder, SystemType, Version]
        return json.dumps(dict(zip(NAMES, values)), ensure_ascii=False)


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    app = Application([QuerySN], tns="RO_dErodo", name="CS_QuerySN",
                      in_protocol=Soap11(validator="lxml"), out_protocol=Soap11())
    server = make_server("127.0.0.1", port, WsgiApplication(app), handler_class=QuietHandler)
    print("PORT", server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
