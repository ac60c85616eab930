'''BlueZ stand-in for the tests with the real ofonod: python-dbusmock's bluez5 template whose
devices open the hands-free link as bluetoothd does. Device1.ConnectProfile with the audio
gateway's UUID connects a unix stream socket to the simulated phone's audio gateway (parameter
"ag_socket", a path) and hands it to the profile that registered the hands-free UUID with
org.bluez.Profile1.NewConnection(device, fd, {"Version": uint16 0x0107}); it answers when that
call does, as bluetoothd answers once oFono has set up the service-level connection.
DisconnectProfile asks the profile to let go (RequestDisconnection). Other UUIDs behave as in
the stock template.
'''
# pylint: disable=wildcard-import,unused-wildcard-import,invalid-name
import socket

import dbus
import dbusmock
from dbusmock.templates.bluez5 import *  # noqa: F401,F403
from dbusmock.templates.bluez5 import AddDevice as stock_add_device
from dbusmock.templates.bluez5 import load as stock_load

BUS_NAME = 'org.bluez'
MAIN_OBJ = '/'
SYSTEM_BUS = True

AG_UUID = '0000111f-0000-1000-8000-00805f9b34fb'
HF_UUID = '0000111e-0000-1000-8000-00805f9b34fb'
DEVICE = 'org.bluez.Device1'
PROFILE = 'org.bluez.Profile1'
TIMEOUT = 10  # seconds; oFono answers once the phone has answered its AT commands

settings = {}
profiles = {}  # UUID -> (bus name, object path) of the registered profile


def load(mock, parameters):
    stock_load(mock, parameters)
    settings['ag_socket'] = parameters.get('ag_socket', '')
    manager = dbusmock.mockobject.objects['/org/bluez']
    manager.AddMethod('org.bluez.ProfileManager1', 'RegisterProfile', 'osa{sv}', '',
                      register_profile)


def register_profile(self, path, uuid, _options):
    # The caller is not passed to mock methods: the registering process is oFono's.
    del self
    profiles[str(uuid).lower()] = ('org.ofono', str(path))


def failure(name, text):
    return dbus.exceptions.DBusException(text, name='org.bluez.Error.' + name)


def profile_proxy(device, uuid):
    owner = profiles.get(uuid)
    if owner is None:
        return None
    return dbus.Interface(device.connection.get_object(owner[0], owner[1], introspect=False),
                          PROFILE)


def connect_profile(self, uuid, ok, err):
    self.log(f'ConnectProfile "{uuid}"')
    if str(uuid).lower() != AG_UUID:
        ok()
        return
    proxy = profile_proxy(self, HF_UUID)
    if proxy is None:
        err(failure('NotAvailable', 'no hands-free profile registered'))
        return
    link = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        link.settimeout(2)
        link.connect(settings['ag_socket'])
        fd = dbus.types.UnixFd(link.fileno())  # a copy: ours closes below
    except OSError as error:
        err(failure('Failed', f'Page Timeout ({error})'))
        return
    finally:
        link.close()

    def answered():
        self.log(f'NewConnection answered for {self._object_path}')  # pylint: disable=protected-access
        ok()

    def refused(error):
        self.log(f'NewConnection refused: {error.get_dbus_name()}')
        err(error)

    proxy.NewConnection(dbus.ObjectPath(self._object_path), fd,  # pylint: disable=protected-access
                        dbus.Dictionary({'Version': dbus.UInt16(0x0107)}, signature='sv'),
                        reply_handler=answered,
                        error_handler=refused, timeout=TIMEOUT)


def disconnect_profile(self, uuid, ok, err):
    self.log(f'DisconnectProfile "{uuid}"')
    proxy = profile_proxy(self, HF_UUID) if str(uuid).lower() == AG_UUID else None
    if proxy is None:
        ok()
        return
    proxy.RequestDisconnection(dbus.ObjectPath(self._object_path),  # pylint: disable=protected-access
                               reply_handler=ok, error_handler=err, timeout=TIMEOUT)


@dbus.service.method(BLUEZ_MOCK_IFACE, in_signature='sss', out_signature='s')
def AddDevice(self, adapter_device_name, device_address, alias):
    '''The stock device, whose profile connections reach the phone's audio gateway.'''
    path = stock_add_device(self, adapter_device_name, device_address, alias)
    device = dbusmock.mockobject.objects[path]
    for name, method in (('ConnectProfile', connect_profile),
                         ('DisconnectProfile', disconnect_profile)):
        device.methods[DEVICE][name] = ('s', '', '', device_method(method))
    return path


def device_method(implementation):
    '''`implementation` as a Device1 method that answers later (through its callbacks). Made
    here, not at module level, where dbusmock would add it to every object.'''
    def method(self, uuid, ok, err):
        implementation(self, uuid, ok, err)
    return dbus.service.method(DEVICE, in_signature='s', out_signature='',
                               async_callbacks=('ok', 'err'))(method)
