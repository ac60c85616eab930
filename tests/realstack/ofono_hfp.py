'''oFono stand-in for the hands-free tests: python-dbusmock's ofono template, with calls that
end as oFono ends them (CallRemoved sent by the modem; the stock template sends it from the call
object it has just removed, so it never arrives) and answer, plus a mock method for an incoming
call.

Also oFono's hands-free audio (HandsfreeAudioManager on /, one HandsfreeAudioCard per modem, the
SCO socket played by one end of a socketpair handed to the agent's NewConnection), the CallVolume
and Handsfree properties, and faults: SetFault(METHOD, FAULT) makes METHOD answer
org.ofono.Error.FAULT, or with FAULT "slow" answer only after SLOW seconds; SetAudio(MODE) makes
HandsfreeAudioCard.Connect hand over the socket ("connect"), fail ("fail") or never answer
("silent").
'''
# pylint: disable=wildcard-import,unused-wildcard-import,invalid-name
import os
import socket
import time

import dbus
import dbusmock
from gi.repository import GLib
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


AUDIO_MANAGER = 'org.ofono.HandsfreeAudioManager'
AUDIO_CARD = 'org.ofono.HandsfreeAudioCard'
AUDIO_AGENT = 'org.ofono.HandsfreeAudioAgent'
SLOW = 2.0  # seconds a "slow" method takes; the library under test gives up after 1 s

FAULTS = {}  # method name -> fault
AUDIO = {'mode': 'connect', 'agent': None, 'sockets': [], 'unanswered': []}
CARDS = {}  # card path -> properties


def fault(method):
    '''Acts out the fault set for `method`: raises its oFono error, or sleeps.'''
    kind = FAULTS.get(method)
    if kind == 'slow':
        time.sleep(SLOW)
    elif kind:
        raise dbus.exceptions.DBusException(f'{method} refused by the test',
                                            name='org.ofono.Error.' + kind)


def load(mock, parameters):
    stock_load(mock, parameters)
    mock.call_counter = 0
    mock.fault = fault  # for the methods' code, which runs with dbusmock's globals


def add_call(modem, number, state, announced=None):
    '''A call at `modem`; CallAdded carries its properties, or `announced` in their place.'''
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
        ('Answer', '', '', 'objects["/"].fault("Answer")\n' + ANSWER),
    ])
    modem.calls.append(path)
    if announced is None:
        announced = dbusmock.mockobject.objects[path].GetAll('org.ofono.VoiceCall')
    modem.EmitSignal('org.ofono.VoiceCallManager', 'CallAdded', 'oa{sv}',
                     [dbus.ObjectPath(path), announced])
    return path


@dbus.service.method('org.ofono.VoiceCallManager', in_signature='ss', out_signature='o')
def Dial(self, number, _hide_callerid):
    fault('Dial')
    return dbus.ObjectPath(add_call(self, number, 'dialing'))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='sa{sv}', out_signature='s')
def AddModem(self, name, properties):
    '''The stock modem, whose HoldAndAnswer changes the calls as oFono reports it.'''
    path = stock_add_modem(self, name, properties)
    modem = dbusmock.mockobject.objects[path]
    modem.AddMethod('org.ofono.VoiceCallManager', 'HoldAndAnswer', '', '',
                    'objects["/"].fault("HoldAndAnswer")\n' + HOLD_AND_ANSWER)
    modem.AddMethod('org.ofono.VoiceCallManager', 'SendTones', 's', '',
                    'objects["/"].fault("SendTones")')
    modem.AddProperties('org.ofono.CallVolume', {'Muted': dbus.Boolean(False)})
    modem.AddProperties('org.ofono.Handsfree', {'VoiceRecognition': dbus.Boolean(False)})
    for iface in ('org.ofono.CallVolume', 'org.ofono.Handsfree'):
        modem.AddMethod(iface, 'SetProperty', 'sv', '',
                        'objects["/"].fault("SetProperty")\n'
                        f'self.Set("{iface}", args[0], args[1])\n'
                        f'self.EmitSignal("{iface}", "PropertyChanged", "sv", args)')
    # oFono's audio card of the phone: the modem is "hfp" + the device's path.
    address = path.rsplit('/dev_', 1)[-1].replace('_', ':')
    add_card(self, f'/card_{len(CARDS) + 1}', {
        'Type': dbus.String('gateway', variant_level=1),
        'RemoteAddress': dbus.String(address, variant_level=1),
        'LocalAddress': dbus.String('00:11:22:33:44:55', variant_level=1)})
    return path


def add_card(root, path, properties):
    root.AddObject(path, AUDIO_CARD, properties, [])
    CARDS[path] = properties
    root.EmitSignal(AUDIO_MANAGER, 'CardAdded', 'oa{sv}', [dbus.ObjectPath(path), properties])


@dbus.service.method(AUDIO_MANAGER, in_signature='', out_signature='a(oa{sv})')
def GetCards(_self):
    fault('GetCards')
    return [(dbus.ObjectPath(path), properties) for path, properties in CARDS.items()]


@dbus.service.method(AUDIO_MANAGER, in_signature='oay', out_signature='', sender_keyword='sender')
def Register(_self, path, codecs, sender=None):
    fault('Register')
    if AUDIO['agent'] is not None:
        raise dbus.exceptions.DBusException('an agent is registered', name='org.ofono.Error.InUse')
    if 1 not in [int(c) for c in codecs]:
        raise dbus.exceptions.DBusException('CVSD is mandatory',
                                            name='org.ofono.Error.InvalidArguments')
    AUDIO['agent'] = (sender, path)


@dbus.service.method(AUDIO_MANAGER, in_signature='o', out_signature='', sender_keyword='sender')
def Unregister(_self, path, sender=None):
    if AUDIO['agent'] != (sender, path):
        raise dbus.exceptions.DBusException('no such agent', name='org.ofono.Error.NotFound')
    AUDIO['agent'] = None


@dbus.service.method(AUDIO_CARD, in_signature='', out_signature='', sender_keyword='sender',
                     path_keyword='path', async_callbacks=('reply', 'error'))
def Connect(self, sender=None, path=None, reply=None, error=None):
    '''As oFono: only the agent's owner may connect; the agent gets the socket, then the reply.'''
    if AUDIO['agent'] is None:
        error(dbus.exceptions.DBusException('no agent', name='org.ofono.Error.NotAvailable'))
    elif AUDIO['agent'][0] != sender:
        error(dbus.exceptions.DBusException('not the agent', name='org.ofono.Error.NotAllowed'))
    elif AUDIO['mode'] == 'fail':
        error(dbus.exceptions.DBusException('SCO refused', name='org.ofono.Error.Failed'))
    elif AUDIO['mode'] == 'silent':
        AUDIO['unanswered'].append((reply, error))  # as oFono when the phone never negotiates
    else:
        new_connection(self, path)
        reply()


def new_connection(root, card):
    '''Hands the agent the car's end of a fresh "SCO" socket; the phone keeps the other.'''
    car, phone = socket.socketpair()

    def car_closed(_fd, condition):
        if condition & (GLib.IO_HUP | GLib.IO_ERR):
            root.log('the car closed the audio link')
        return False

    AUDIO['sockets'].append((phone, GLib.io_add_watch(phone.fileno(), GLib.PRIORITY_DEFAULT,
                                                      GLib.IO_HUP | GLib.IO_ERR, car_closed)))
    owner, agent = AUDIO['agent']
    root.connection.call_async(owner, agent, AUDIO_AGENT, 'NewConnection', 'ohy',
                               (dbus.ObjectPath(card), dbus.types.UnixFd(car.fileno()),
                                dbus.Byte(1)),
                               lambda: None, lambda e: root.log(f'NewConnection failed: {e}'))
    car.close()  # the message holds its own copy


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='ss', out_signature='')
def SetFault(_self, method, kind):
    '''METHOD answers org.ofono.Error.KIND (or slowly, for "slow"); an empty KIND clears it.'''
    if kind:
        FAULTS[method] = kind
    else:
        FAULTS.pop(method, None)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='s', out_signature='')
def SetAudio(_self, mode):
    '''How HandsfreeAudioCard.Connect answers: connect, fail or silent.'''
    AUDIO['mode'] = mode


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='')
def PhoneAudio(self):
    '''The phone opens the audio link itself, as phones do when a call becomes active.'''
    new_connection(self, next(iter(CARDS)))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='')
def HangUpAudio(_self):
    '''The phone closes the audio link.'''
    for phone, watch in AUDIO['sockets']:
        GLib.source_remove(watch)
        phone.close()
    AUDIO['sockets'] = []


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='')
def ReleaseAudioAgent(self):
    '''oFono drops the agent (its audio manager goes away) and tells it so.'''
    owner, agent = AUDIO['agent']
    AUDIO['agent'] = None
    self.connection.call_async(owner, agent, AUDIO_AGENT, 'Release', '', (),
                               lambda: None, lambda e: None)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='')
def RemoveCards(self):
    '''The phone's audio cards go, as when oFono loses the phone.'''
    for path in list(CARDS):
        del CARDS[path]
        self.RemoveObject(path)
        self.EmitSignal(AUDIO_MANAGER, 'CardRemoved', 'o', [dbus.ObjectPath(path)])


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='')
def MalformedCards(self):
    '''The cards oFono lists are not a phone's: a RemoteAddress of the wrong type, a card of
    the wrong kind, one with an address that is none.'''
    for path in list(CARDS):
        address = CARDS[path]['RemoteAddress']
        CARDS[path] = {'Type': dbus.String('gateway', variant_level=1),
                       'RemoteAddress': dbus.Int32(7, variant_level=1)}
    CARDS['/card_90'] = {'Type': dbus.String('handsfree', variant_level=1),
                         'RemoteAddress': address}
    CARDS['/card_91'] = {'RemoteAddress': dbus.String('AA:BB', variant_level=1)}


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='ss', out_signature='o')
def WaitingCall(_self, modem, number):
    '''A second call from `number` waits at `modem`.'''
    return dbus.ObjectPath(add_call(dbusmock.mockobject.objects[modem], number, 'waiting'))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='ss', out_signature='o')
def IncomingCall(_self, modem, number):
    '''The phone at `modem` (a path) rings with a call from `number`.'''
    return dbus.ObjectPath(add_call(dbusmock.mockobject.objects[modem], number, 'incoming'))


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='s', out_signature='o')
def HostileCalls(self, modem_path):
    '''Malformed call signals at `modem_path`, then a call from a number with control
    characters and 10,000 digits rings: CallAdded of the wrong signature, CallAdded with a State
    of the wrong type, an unknown state, a change for a call nobody added, CallAdded without a
    State, the call ringing, and CallAdded again for it.'''
    modem = dbusmock.mockobject.objects[modem_path]
    manager = 'org.ofono.VoiceCallManager'
    number = '\x1b]0;owned\x07+33\r\n1' + '2' * 10000
    modem.EmitSignal(manager, 'CallAdded', 'u', [dbus.UInt32(7)])
    path = add_call(modem, number, 'incoming', {
        'State': dbus.Int32(5, variant_level=1),
        'LineIdentification': dbus.String(number, variant_level=1)})
    call = dbusmock.mockobject.objects[path]

    def state(value, on=path):
        message = dbus.lowlevel.SignalMessage(on, 'org.ofono.VoiceCall', 'PropertyChanged')
        message.append('State', value, signature='sv')
        self.connection.send_message(message)

    state(dbus.String('ringing', variant_level=1))
    state(dbus.Int32(2, variant_level=1))
    state(dbus.String('active', variant_level=1), modem_path + '/voicecall99')
    modem.EmitSignal(manager, 'CallAdded', 'oa{sv}',
                     [dbus.ObjectPath(modem_path + '/voicecall98'),
                      dbus.Dictionary({}, signature='sv')])
    state(dbus.String('incoming', variant_level=1))
    modem.EmitSignal(manager, 'CallAdded', 'oa{sv}',
                     [dbus.ObjectPath(path), call.GetAll('org.ofono.VoiceCall')])
    return dbus.ObjectPath(path)
