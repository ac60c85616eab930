'''dundee stand-in for the dial-up tests: oFono's dial-up daemon with one device per name given
(/device0, ... named as dundee names them, after the phone's BlueZ Alias). SetProperty("Active")
sets the property and sends PropertyChanged as dundee does once PPP is up or down; with
"fail": true it answers org.ofono.Error.Failed instead, as dundee does when the phone refuses
the dial. With "hostile": true GetDevices answers with the wrong signature.
'''
# pylint: disable=invalid-name
import dbus

BUS_NAME = 'org.ofono.dundee'
MAIN_OBJ = '/'
MAIN_IFACE = 'org.ofono.dundee.Manager'
SYSTEM_BUS = True
DEVICE_IFACE = 'org.ofono.dundee.Device'

GET_DEVICES = '''
ret = [(dbus.ObjectPath(p), objects[p].GetAll("org.ofono.dundee.Device"))
       for p in sorted(objects) if p.startswith("/device")]
'''

SET_PROPERTY = '''
if args[0] != "Active":
    raise dbus.exceptions.DBusException("Invalid arguments", name="org.ofono.Error.InvalidArguments")
if FAIL:
    raise dbus.exceptions.DBusException("Operation failed", name="org.ofono.Error.Failed")
value = dbus.Boolean(bool(args[1]), variant_level=1)
self.props["org.ofono.dundee.Device"]["Active"] = value
self.EmitSignal("org.ofono.dundee.Device", "PropertyChanged", "sv", ["Active", value])
'''


def load(mock, parameters):
    if parameters.get('hostile'):
        mock.AddMethods(MAIN_IFACE, [('GetDevices', '', 'as', 'ret = ["/device0"]')])
    else:
        mock.AddMethods(MAIN_IFACE, [('GetDevices', '', 'a(oa{sv})', GET_DEVICES)])
    fail = 'True' if parameters.get('fail') else 'False'
    for index, name in enumerate(parameters.get('devices', [])):
        mock.AddObject(f'/device{index}', DEVICE_IFACE, {
            'Name': dbus.String(name, variant_level=1),
            'Active': dbus.Boolean(False, variant_level=1),
            'Settings': dbus.Dictionary({}, signature='sv', variant_level=1),
        }, [
            ('GetProperties', '', 'a{sv}', 'ret = self.GetAll("org.ofono.dundee.Device")'),
            ('SetProperty', 'sv', '', f'FAIL = {fail}\n' + SET_PROPERTY),
        ])
