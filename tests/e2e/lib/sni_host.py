#!/usr/bin/env python3
"""A StatusNotifierWatcher and host for the tests, on the bus named by
DBUS_SESSION_BUS_ADDRESS. Prints one line per event, flushed:
  ready                                 once it owns the watcher's name
  registered <service>                  then, read from the item:
  title <Title>
  pixmaps <w>x<h>:<bytes> ...           one per IconPixmap entry
  tooltip <title>|<text>                newlines in the text written \\n
  new tooltip <title>|<text>            re-read on the item's NewToolTip
  unregistered <service>                its name left the bus
Ends on SIGTERM, which drops the watcher's name with the connection."""
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
ITEM_PATH = "/StatusNotifierItem"


def say(line):
    print(line, flush=True)


def tooltip_line(tip):
    title, text = str(tip[2]), str(tip[3])
    return title + "|" + text.replace("\\", "\\\\").replace("\n", "\\n")


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.items = []
        bus.add_signal_receiver(self.name_owner_changed, "NameOwnerChanged",
                                "org.freedesktop.DBus", "org.freedesktop.DBus")
        bus.add_signal_receiver(self.new_tooltip, "NewToolTip", ITEM,
                                sender_keyword="sender", path_keyword="path")

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierItem(self, service):
        if service not in self.items:
            self.items.append(service)
        say("registered " + service)
        self.StatusNotifierItemRegistered(service)
        # Read only after this call's reply is out: the item may be waiting for it.
        GLib.idle_add(self.read_item, service)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    def properties(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()

    def read_item(self, service):
        def show(props):
            say("title " + str(props["Title"]))
            say("pixmaps " + " ".join(f"{w}x{h}:{len(data)}" for w, h, data in props["IconPixmap"]))
            say("tooltip " + tooltip_line(props["ToolTip"]))

        self.get_all(service, ITEM_PATH, show)
        return False

    def new_tooltip(self, sender, path):
        self.bus.call_async(sender, path, dbus.PROPERTIES_IFACE, "Get", "ss", (ITEM, "ToolTip"),
                            lambda tip: say("new tooltip " + tooltip_line(tip)),
                            lambda error: say("error " + str(error)))

    def get_all(self, service, path, done):
        self.bus.call_async(service, path, dbus.PROPERTIES_IFACE, "GetAll", "s", (ITEM,),
                            done, lambda error: say("error " + str(error)),
                            byte_arrays=True)

    def name_owner_changed(self, name, old_owner, new_owner):
        if new_owner == "" and name in self.items:
            self.items.remove(name)
            say("unregistered " + name)
            self.StatusNotifierItemUnregistered(name)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(os.environ["DBUS_SESSION_BUS_ADDRESS"])
    watcher = Watcher(bus)
    if bus.request_name(WATCHER, dbus.bus.NAME_FLAG_DO_NOT_QUEUE) != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        sys.exit("the watcher's name is taken")
    say("ready")
    GLib.MainLoop().run()
    return watcher


if __name__ == "__main__":
    main()
