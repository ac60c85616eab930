'''oFono stand-in for the hands-free tests: python-dbusmock's ofono template, with calls that
end as oFono ends them (CallRemoved sent by the modem; the stock template sends it from the call
object it has just removed, so it never arrives) and answer, plus a mock method for an incoming
call.
'''
# pylint: disable=wildcard-import,unused-wildcard-import,invalid-name
import dbus
import dbusmock
from dbusmock.templates.ofono import *  # noqa: F401,F403
from dbusmock.templates.ofono import AddModem as stock_add_modem
from dbusmock.templates.ofono import load as stock_load

BUS_NAME = 'org.ofono'
MAIN_OBJ = '/'
MAIN_IFACE = 'org.ofono.Manager'
SYSTEM_BUS = True

# Runs on the call object: the modem removes it and tells the manager's listeners.
HANGUP = '''
modem = objects[self._object_path.rsplit("/", 1)[0]]
modem.calls.remove(self._object_path)
modem.EmitSignal("org.ofono.VoiceCallManager", "CallRemoved", "o",
                 [dbus.ObjectPath(self._object_path)])
modem.RemoveObject(self._object_path)
'''
ANSWER = '''
self.Set("org.ofono.VoiceCall", "State", dbus.String("active", variant_level=1))
self.EmitSignal("org.ofono.VoiceCall", "PropertyChanged", "sv",
                ["State", dbus.String("active", variant_level=1)])
'''

# Runs on the modem: the active calls go on hold and the waiting one becomes active.
HOLD_AND_ANSWER = '''
for c in list(self.calls):
    o = objects[c]
    new = {"active": "held", "waiting": "active"}.get(str(o.Get("org.ofono.VoiceCall", "State")))
    if new:
        o.Set("org.ofono.VoiceCall", "State", dbus.String(new, variant_level=1))
        o.EmitSignal("org.ofono.VoiceCall", "PropertyChanged", "sv",
                     ["State", dbus.String(new, variant_level=1)])
'''


def load(mock, parameters):
    stock_load(mock, parameters)
    mock.call_counter = 0


def add_call(modem, number, state):
    modem.call_counter = getattr(modem, 'call_counter', 0) + 1
    path = f'{modem._object_path}/voicecall{modem.call_counter:02}'  # pylint: disable=protected-access
    modem.AddObject(path, 'org.ofono.VoiceCall', {
        'State': dbus.String(state, variant_level=1),
        'LineIdentification': dbus.String(number, variant_level=1),
        'Name': dbus.String('', variant_level=1),
        'Multiparty': dbus.Boolean(False, variant_level=1),
        'RemoteHeld': dbus.Boolean(False, variant_level=1),
        'RemoteMultiparty': dbus.Boolean(False, variant_level=1),
        'Emergency': dbus.Boolean(False, variant_level=1),
    }, [
        ('GetProperties', '', 'a{sv}', 'ret = self.GetAll("org.ofono.VoiceCall")'),
        ('Hangup', '', '', HANGUP),
        ('Answer', '', '', ANSWER),
    ])
    modem.calls.append(path)
    modem.EmitSignal('org.ofono.VoiceCallManager', 'CallAdded', 'oa{sv}',
                     [dbus.ObjectPath(path),
                      dbusmock.mockobject.objects[path].GetAll('org.ofono.VoiceCall')])
    return path


@dbus.service.method('org.ofono.VoiceCallManager', in_signature='ss', out_signature='o')
def Dial(self, number, _hide_callerid):
    return dbus.ObjectPath(add_call(self, number, 'dialing'))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='sa{sv}', out_signature='s')
def AddModem(self, name, properties):
    '''The stock modem, whose HoldAndAnswer changes the calls as oFono reports it.'''
    path = stock_add_modem(self, name, properties)
    dbusmock.mockobject.objects[path].AddMethod('org.ofono.VoiceCallManager', 'HoldAndAnswer',
                                                '', '', HOLD_AND_ANSWER)
    return path


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='ss', out_signature='o')
def WaitingCall(_self, modem, number):
    '''A second call from `number` waits at `modem`.'''
    return dbus.ObjectPath(add_call(dbusmock.mockobject.objects[modem], number, 'waiting'))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='ss', out_signature='o')
def IncomingCall(_self, modem, number):
    '''The phone at `modem` (a path) rings with a call from `number`.'''
    return dbus.ObjectPath(add_call(dbusmock.mockobject.objects[modem], number, 'incoming'))
