'''A tray for scripts/desktop-test: a StatusNotifierWatcher that says a host is there
and keeps the items that register, as a panel's tray does. The script then acts as
the host, calling the item's Activate and ContextMenu.

Run with: /usr/bin/python3 -m dbusmock --session --template THIS_FILE
'''

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False

import dbus


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': True,
        'ProtocolVersion': 0,
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '',
         'self.Set("%s", "RegisteredStatusNotifierItems", [args[0]]); '
         'self.EmitSignal("%s", "StatusNotifierItemRegistered", "s", [args[0]])' % (MAIN_IFACE, MAIN_IFACE)),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
