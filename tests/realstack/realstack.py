#!/usr/bin/python3
"""Plays a console script against the bluez SDK library and stand-ins for the Linux stack.

    realstack.py --console KOBALTDemo --script FILE [options]

Starts, in a private folder: a dbus-daemon of the system type, python-dbusmock's bluez5
template (one adapter, the devices given) and, unless --no-ofono, its ofono template with the
hands-free modem of the first device; with --obex, a dbus-daemon of the session type and an
obexd stand-in (obex_pbap.py: the bluez5-obex template serving the vCards of --cards). Runs
`KOBALTDemo --sdk bluez --script FILE` on those buses, then checks its exit status, its standard
error, the stand-ins' call logs and that the library left no file of the phone's data behind.
Every daemon is stopped by its process id, also when a step fails.

Options:
  --status N          the console's exit status (default 0)
  --device ADDR=NAME  a device the stand-in knows (repeatable; default AA:BB:CC:DD:EE:FF=Test Phone)
  --paired ADDR       that device is paired before the console starts (repeatable)
  --fail-pair         the devices' Pair answers org.bluez.Error.AuthenticationFailed
  --no-adapter        BlueZ without any adapter
  --no-bluez          no BlueZ stand-in
  --no-bus            no bus at all: DBUS_SYSTEM_BUS_ADDRESS names a socket nobody listens on
  --no-ofono          no oFono stand-in
  --obex MODE         a session bus and obexd: each phonebook transfer goes `complete`, goes to
                      `error` or `never` ends; `stopped`: obexd is stopped (SIGSTOP) and answers
                      nothing; `absent`: the session bus has no obexd
  --obex-delay MS     how long each phonebook transfer takes (default 50)
  --cards DIR         the phonebook objects obexd serves (pb.vcf, ich.vcf, ...; default cards/)
  --obex-log TEXT     a line of obexd's call log contains TEXT (repeatable)
  --no-obex-log METHOD  obexd's call log has no call of METHOD (repeatable)
  --bluez-log TEXT    a line of BlueZ's call log contains TEXT (repeatable)
  --ofono-log TEXT    a line of oFono's call log contains TEXT (repeatable)
  --no-ofono-log METHOD  oFono's call log has no call of METHOD (repeatable)
  --no-bluez-log METHOD  BlueZ's call log has no call of METHOD (repeatable)
  --dundee MODE       a dundee stand-in (dundee.py) with a dial-up device named after the first
                      device: `ok` dials and hangs up, `fail` refuses both; `twins`: two
                      devices of that name (two phones with one alias); `hostile`: GetDevices
                      answers with the wrong signature
  --dundee-log TEXT   a line of dundee's call log contains TEXT (repeatable)
  --stderr-has TEXT   the console's standard error contains TEXT (repeatable)
  --env NAME=VALUE    set for the console (repeatable)
  --when LOG:TEXT:ACTION  while the console runs, once a line of LOG (bluez, ofono, or trace:
                      the SDK library's trace, KOBALT_SIM_TRACE) contains
                      TEXT, do ACTION: ring=NUMBER (a call comes in), waiting=NUMBER (a
                      second call waits), indicators (the modem reports signal 100 %,
                      battery 3, no service, then registered with "Orange F"), hostile (BlueZ's stand-in sends signals with wrong
                      types and signatures), dun-drop (dundee's device reports Active false:
                      the phone ended the dial-up link), answer (the far end
                      takes every call: it goes active), ofono-setup actions (below),
                      phone-audio (the phone opens the audio link itself), audio-hangup (the
                      phone closes it), audio-release (oFono releases the library's audio
                      agent), cards-removed (the phone's audio card goes), hostile-calls
                      (malformed call signals, then a call from a number with control
                      characters and 10,000 digits rings), kill-ofono, kill-bluez, kill-obex
                      or kill-dundee (the stand-in vanishes, SIGKILL), push=FILE (obexd receives FILE of
                      --cards from the phone: the library's object push agent is asked where
                      to put it and the transfer completes). Repeatable; each fires once.
  --ofono-setup ACTION  before the console starts, on the oFono stand-in: fault=METHOD/KIND
                      (METHOD answers org.ofono.Error.KIND; KIND slow: it answers after 2 s),
                      audio=MODE (HandsfreeAudioCard.Connect hands over the socket: connect,
                      fails: fail, never answers: silent), malformed-cards (GetCards lists no
                      card of a phone). Repeatable.
"""

import argparse
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

PYTHON = '/usr/bin/python3'  # Debian's, which has the dbus and dbusmock modules
BOUND = 10.0  # seconds any daemon may take to come up

BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{type}</type>
  <listen>unix:path={folder}/{type}_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
'''


class Failure(Exception):
    pass


class Daemons:
    """The processes started for one run; Stop ends each by its pid."""

    def __init__(self):
        self.processes = []

    def start(self, name, argv, env, **kwargs):
        process = subprocess.Popen(argv, env=env, **kwargs)
        self.processes.append((name, process))
        return process

    def stop(self):
        for _, process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGCONT)  # a stand-in stopped on purpose
                process.send_signal(signal.SIGTERM)
        for name, process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                print(f'realstack: {name} ({process.pid}) ignores SIGTERM; killed', file=sys.stderr)
                process.kill()
                process.wait()


def read_line(stream, deadline):
    line = b''
    while not line.endswith(b'\n'):
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([stream], [], [], remaining)[0]:
            raise Failure('dbus-daemon did not print its address in time')
        chunk = os.read(stream.fileno(), 1)
        if not chunk:
            raise Failure('dbus-daemon ended before printing its address')
        line += chunk
    return line.decode().strip()


def wait_for_name(bus, name, process):
    deadline = time.monotonic() + BOUND
    while not bus.name_has_owner(name):
        if process.poll() is not None:
            raise Failure(f'the stand-in for {name} ended with status {process.returncode}')
        if time.monotonic() > deadline:
            raise Failure(f'{name} did not appear on the bus within {BOUND} s')
        time.sleep(0.02)


def start_bus(kind, folder, daemons, env):
    """A dbus-daemon of `kind` (system or session) in `folder`; returns its address."""
    config = os.path.join(folder, kind + '.conf')
    with open(config, 'w') as f:
        f.write(BUS_CONFIG.format(folder=folder, type=kind))
    daemon = daemons.start(kind + ' dbus-daemon', ['dbus-daemon', f'--config-file={config}',
                                                   '--nofork', '--print-address=1'],
                           env, stdout=subprocess.PIPE)
    return read_line(daemon.stdout, time.monotonic() + BOUND)


def push(context, name):
    """Plays obexd receiving the vCard file `name` from the phone: a transfer object, the
    library's agent asked where to put it (it must be a private folder of the console's runtime
    folder), the file written there and the transfer complete."""
    import dbus
    bus = context['session_bus']
    daemon = dbus.Interface(bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus'),
                            'org.freedesktop.DBus')
    owners = [n for n in daemon.ListNames() if n.startswith(':') and
              daemon.GetConnectionUnixProcessID(n) == context['console'].pid]
    if not owners:
        raise Failure('the console has no connection to the session bus')
    context['pushes'] = context.get('pushes', 0) + 1
    transfer = f'/org/bluez/obex/server/session0/transfer{context["pushes"]}'
    dbus.Interface(bus.get_object('org.bluez.obex', '/'), 'org.freedesktop.DBus.Mock').AddObject(
        transfer, 'org.bluez.obex.Transfer1',
        {'Status': dbus.String('queued'), 'Name': dbus.String(name),
         'Type': dbus.String('text/x-vcard'), 'Size': dbus.UInt64(0)},
        [('Cancel', '', '', '')])
    agent = dbus.Interface(bus.get_object(owners[0], '/org/kobalt/obex_agent'),
                           'org.bluez.obex.Agent1')
    target = str(agent.AuthorizePush(dbus.ObjectPath(transfer), timeout=BOUND))
    private = os.path.join(context['runtime'], 'kobalt-obex')
    if os.path.dirname(target) != private:
        raise Failure(f'the agent put a pushed contact at {target}, not in {private}')
    if os.stat(private).st_mode & 0o777 != 0o700:
        raise Failure(f'{private} is not private: mode {os.stat(private).st_mode & 0o777:o}')
    shutil.copyfile(os.path.join(context['cards'], name), target)
    dbus.Interface(bus.get_object('org.bluez.obex', transfer),
                   'org.freedesktop.DBus.Mock').EmitSignal(
        'org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
        ['org.bluez.obex.Transfer1', {'Status': dbus.String('complete', variant_level=1)},
         dbus.Array([], signature='s')])


# --- Media and serial port: the phone's A2DP stream and AVRCP player, its SPP connection ---
#
# --when actions: a2dp-up (the phone's A2DP transport and media player appear, as BlueZ adds
# them when the phone connects), a2dp-down (the transport goes), player-gone (the player
# goes), spp-connect (BlueZ hands the library's SPP profile one end of a socketpair through
# Profile1.NewConnection), spp-close (the phone's end closes), spp-release (BlueZ calls the
# profile's RequestDisconnection). Options: --player-error (each player method answers
# org.bluez.Error.Failed), --trace-has TEXT (a line of the SDK trace contains TEXT).

PLAYER_METHODS = ['Play', 'Pause', 'Stop', 'Next', 'Previous']


def device_path(devices):
    return '/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()


def library_name(bus, console):
    """The console's unique name on the bus, found by its process id."""
    import dbus
    daemon = dbus.Interface(bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus'),
                            'org.freedesktop.DBus')
    for name in daemon.ListNames():
        try:
            if name.startswith(':') and daemon.GetConnectionUnixProcessID(name) == console.pid:
                xml = dbus.Interface(bus.get_object(name, '/org/kobalt/spp'),
                                     'org.freedesktop.DBus.Introspectable').Introspect()
                if 'org.bluez.Profile1' in xml:
                    return name
        except dbus.exceptions.DBusException:
            pass  # gone meanwhile, or another connection of the console's
    raise Failure('the console has no connection on the system bus')


def media_act(action, bus, devices, context):
    """Does one media or serial-port --when ACTION; False when ACTION is none of them."""
    import dbus
    device = device_path(devices)
    root = dbus.Interface(bus.get_object('org.bluez', '/'), 'org.freedesktop.DBus.Mock')
    # AddObject and RemoveObject leave the ObjectManager's signals to the caller. The player
    # comes first: the console may open the remote as soon as A2DP is up.
    if action == 'a2dp-up':
        code = ('raise dbus.exceptions.DBusException("the player refuses", '
                'name="org.bluez.Error.Failed")' if context['player_error'] else '')
        for path, iface, properties, methods in [
                (device + '/player0', 'org.bluez.MediaPlayer1',
                 {'Device': dbus.ObjectPath(device), 'Name': dbus.String('Music'),
                  'Status': dbus.String('paused')},
                 [(name, '', '', code) for name in PLAYER_METHODS]),
                (device + '/fd0', 'org.bluez.MediaTransport1',
                 {'Device': dbus.ObjectPath(device),
                  'UUID': dbus.String('0000110b-0000-1000-8000-00805f9b34fb'),
                  'State': dbus.String('idle'), 'Volume': dbus.UInt16(64)}, [])]:
            root.AddObject(path, iface, properties, methods)
            root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesAdded',
                            'oa{sa{sv}}', [dbus.ObjectPath(path),
                                           dbus.Dictionary({iface: properties},
                                                           signature='sa{sv}')])
    elif action in ('a2dp-down', 'player-gone'):
        path, iface = ((device + '/fd0', 'org.bluez.MediaTransport1') if action == 'a2dp-down'
                       else (device + '/player0', 'org.bluez.MediaPlayer1'))
        root.RemoveObject(path)
        root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesRemoved', 'oas',
                        [dbus.ObjectPath(path), dbus.Array([iface], signature='s')])
    elif action in ('spp-connect', 'spp-release'):
        profile = dbus.Interface(bus.get_object(library_name(bus, context['console']),
                                                '/org/kobalt/spp'), 'org.bluez.Profile1')
        if action == 'spp-connect':
            ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
            context['spp'] = ours
            profile.NewConnection(dbus.ObjectPath(device), dbus.types.UnixFd(theirs),
                                  {'Version': dbus.UInt16(0x0102, variant_level=1)},
                                  timeout=BOUND)
            theirs.close()  # the library holds its own copy
        else:
            profile.RequestDisconnection(dbus.ObjectPath(device), timeout=BOUND)
    elif action == 'spp-close':
        context.pop('spp').close()
    else:
        return False
    return True


def check_console(console, output, triggers, status, stderr_has):
    """Echoes the console's output and checks its run: every trigger fired, the exit status,
    the texts standard error must hold. Returns standard error."""
    stderr = open(output + '.err', 'rb').read().decode(errors='replace')
    sys.stdout.write(open(output, 'rb').read().decode(errors='replace'))
    sys.stderr.write(stderr)
    if triggers:
        raise Failure('never reached: ' + ', '.join(t[1] for t in triggers))
    if console.returncode != status:
        raise Failure(f'the console ended with status {console.returncode}, not {status}')
    for text in stderr_has:
        if text not in stderr:
            raise Failure(f'standard error lacks {text!r}')
    return stderr


def check_trace(folder, wanted):
    path = os.path.join(folder, 'trace.log')
    text = open(path, errors='replace').read() if os.path.exists(path) else ''
    for item in wanted:
        if item not in text:
            raise Failure(f'the SDK trace has no line with {item!r}')

# --- end of media and serial port ---


def act(action, bus, daemons, devices, context):
    """Does one --when ACTION."""
    import dbus
    if action.startswith('push='):
        push(context, action.partition('=')[2])
    elif action.startswith('ring=') or action.startswith('waiting='):
        modem = '/hfp/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()
        mock = dbus.Interface(bus.get_object('org.ofono', '/'), 'org.freedesktop.DBus.Mock')
        kind, _, number = action.partition('=')
        if kind == 'ring':
            mock.IncomingCall(modem, number)
        else:
            mock.WaitingCall(modem, number)
    elif action == 'indicators':
        modem = '/hfp/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()
        mock = dbus.Interface(bus.get_object('org.ofono', modem), 'org.freedesktop.DBus.Mock')
        for iface, name, value in [
                ('org.ofono.NetworkRegistration', 'Strength', dbus.Byte(100, variant_level=1)),
                ('org.ofono.Handsfree', 'BatteryChargeLevel', dbus.Byte(3, variant_level=1)),
                ('org.ofono.NetworkRegistration', 'Status',
                 dbus.String('unregistered', variant_level=1)),
                ('org.ofono.NetworkRegistration', 'Status',
                 dbus.String('registered', variant_level=1)),
                ('org.ofono.NetworkRegistration', 'Name',
                 dbus.String('Orange F', variant_level=1))]:
            mock.EmitSignal(iface, 'PropertyChanged', 'sv', [name, value])
    elif action == 'hostile':
        device = '/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()
        mock = dbus.Interface(bus.get_object('org.bluez', device), 'org.freedesktop.DBus.Mock')
        mock.EmitSignal('org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
                        ['org.bluez.Device1',
                         dbus.Dictionary({'Alias': dbus.Int32(5, variant_level=1),
                                          'Connected': dbus.String('yes', variant_level=1),
                                          'Paired': dbus.Byte(0, variant_level=1)},
                                         signature='sv'),
                         dbus.Array([], signature='s')])
        mock.EmitSignal('org.freedesktop.DBus.Properties', 'PropertiesChanged', 's',
                        ['org.bluez.Device1'])
        root = dbus.Interface(bus.get_object('org.bluez', '/'), 'org.freedesktop.DBus.Mock')
        root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesAdded', 'oa{sa{sv}}',
                        [dbus.ObjectPath('/org/bluez/hci0/dev_bad'),
                         dbus.Dictionary({'org.bluez.Device1': dbus.Dictionary(
                             {'Address': dbus.String('not an address', variant_level=1)},
                             signature='sv')}, signature='sa{sv}')])
        root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesAdded', 'u',
                        [dbus.UInt32(7)])
    elif action == 'answer':
        modem = '/hfp/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()
        manager = dbus.Interface(bus.get_object('org.ofono', modem), 'org.ofono.VoiceCallManager')
        for path, _ in manager.GetCalls():
            call = dbus.Interface(bus.get_object('org.ofono', path), 'org.freedesktop.DBus.Mock')
            call.UpdateProperties('org.ofono.VoiceCall', {'State': 'active'})
            call.EmitSignal('org.ofono.VoiceCall', 'PropertyChanged', 'sv',
                            ['State', dbus.String('active', variant_level=1)])
    elif action == 'dun-drop':
        device = dbus.Interface(bus.get_object('org.ofono.dundee', '/device0'),
                                'org.freedesktop.DBus.Mock')
        device.EmitSignal('org.ofono.dundee.Device', 'PropertyChanged', 'sv',
                          ['Active', dbus.Boolean(False, variant_level=1)])
    elif action.split('=')[0] in ('fault', 'audio', 'malformed-cards', 'phone-audio',
                                  'audio-hangup', 'audio-release', 'cards-removed',
                                  'hostile-calls'):
        ofono_act(action, bus, devices)
    elif action in ('kill-ofono', 'kill-bluez', 'kill-obex', 'kill-dundee'):
        wanted = action[len('kill-'):] + ' stand-in'
        for name, process in daemons.processes:
            if name == wanted:
                process.kill()
                process.wait()
    elif media_act(action, bus, devices, context):
        pass
    else:
        raise Failure(f'unknown action {action!r}')


def ofono_act(action, bus, devices):
    """Does one ACTION of the oFono stand-in's hands-free audio, faults and hostile calls."""
    import dbus
    mock = dbus.Interface(bus.get_object('org.ofono', '/'), 'org.freedesktop.DBus.Mock')
    kind, _, value = action.partition('=')
    if kind == 'fault':
        method, _, fault = value.partition('/')
        mock.SetFault(method, fault)
    elif kind == 'audio':
        mock.SetAudio(value)
    elif kind == 'hostile-calls':
        mock.HostileCalls('/hfp/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper())
    else:
        {'malformed-cards': mock.MalformedCards, 'phone-audio': mock.PhoneAudio,
         'audio-hangup': mock.HangUpAudio, 'audio-release': mock.ReleaseAudioAgent,
         'cards-removed': mock.RemoveCards}[kind]()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--console', required=True)
    parser.add_argument('--script', required=True)
    parser.add_argument('--status', type=int, default=0)
    parser.add_argument('--device', action='append', default=[])
    parser.add_argument('--paired', action='append', default=[])
    parser.add_argument('--no-adapter', action='store_true')
    parser.add_argument('--fail-pair', action='store_true')
    parser.add_argument('--no-bus', action='store_true')
    parser.add_argument('--no-bluez', action='store_true')
    parser.add_argument('--no-ofono', action='store_true')
    parser.add_argument('--obex', choices=['complete', 'error', 'never', 'stopped', 'absent'])
    parser.add_argument('--cards', default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                        'cards'))
    parser.add_argument('--obex-delay', type=int, default=50)
    parser.add_argument('--obex-log', action='append', default=[])
    parser.add_argument('--no-obex-log', action='append', default=[])
    parser.add_argument('--bluez-log', action='append', default=[])
    parser.add_argument('--no-bluez-log', action='append', default=[])
    parser.add_argument('--ofono-log', action='append', default=[])
    parser.add_argument('--dundee', choices=['ok', 'fail', 'twins', 'hostile'])
    parser.add_argument('--dundee-log', action='append', default=[])
    parser.add_argument('--no-ofono-log', action='append', default=[])
    parser.add_argument('--stderr-has', action='append', default=[])
    parser.add_argument('--env', action='append', default=[])
    parser.add_argument('--when', action='append', default=[])
    parser.add_argument('--ofono-setup', action='append', default=[])
    parser.add_argument('--player-error', action='store_true')
    parser.add_argument('--trace-has', action='append', default=[])
    args = parser.parse_args()
    devices = [d.split('=', 1) for d in args.device] or [['AA:BB:CC:DD:EE:FF', 'Test Phone']]

    # Short: the console's runtime folder below it must stay within its length limit.
    folder = tempfile.mkdtemp(prefix='kbrs-')
    daemons = Daemons()
    env = dict(os.environ)
    env['XDG_CONFIG_HOME'] = os.path.join(folder, 'config')  # the PIN file stays private
    # The console's queues and sockets meet no other console's (its power monitor stands back
    # when another console holds the queue).
    env['XDG_RUNTIME_DIR'] = os.path.join(folder, 'run')
    os.mkdir(env['XDG_RUNTIME_DIR'], 0o700)
    env.pop('DBUS_SESSION_BUS_ADDRESS', None)
    try:
        bus = None
        if args.no_bus:
            env['DBUS_SYSTEM_BUS_ADDRESS'] = f'unix:path={folder}/nobody_listens'
        else:
            address = start_bus('system', folder, daemons, env)
            env['DBUS_SYSTEM_BUS_ADDRESS'] = address
            os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = address
            import dbus  # after the address is set, so the module's system bus is ours
            bus = dbus.bus.BusConnection(address)

        if bus is not None and not args.no_bluez:
            bluez = daemons.start('bluez stand-in',
                                  [PYTHON, '-m', 'dbusmock', '--system', '--template', 'bluez5',
                                   '-l', os.path.join(folder, 'bluez.log')], env,
                                  stdout=subprocess.DEVNULL)
            wait_for_name(bus, 'org.bluez', bluez)
            mock = dbus.Interface(bus.get_object('org.bluez', '/'), 'org.bluez.Mock')
            if not args.no_adapter:
                mock.AddAdapter('hci0', 'kobalt-test')
                for address_text, name in devices:
                    mock.AddDevice('hci0', address_text, name)
                    if args.fail_pair:
                        path = '/org/bluez/hci0/dev_' + address_text.replace(':', '_').upper()
                        dbus.Interface(bus.get_object('org.bluez', path),
                                       'org.freedesktop.DBus.Mock').AddMethod(
                            'org.bluez.Device1', 'Pair', '', '',
                            'raise dbus.exceptions.DBusException("the phone refused", '
                            'name="org.bluez.Error.AuthenticationFailed")')
                for address_text in args.paired:
                    mock.PairDevice('hci0', address_text, dbus.UInt32(5898764))

        if bus is not None and not args.no_ofono:
            ofono = daemons.start('ofono stand-in',
                                  [PYTHON, '-m', 'dbusmock', '--system', '--template',
                                   os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                'ofono_hfp.py'),
                                   '-p', '{"no_modem": true}',
                                   '-l', os.path.join(folder, 'ofono.log')], env,
                                  stdout=subprocess.DEVNULL)
            wait_for_name(bus, 'org.ofono', ofono)
            # oFono names the hands-free modem of a device after the device's path.
            modem = 'hfp/org/bluez/hci0/dev_' + devices[0][0].replace(':', '_').upper()
            dbus.Interface(bus.get_object('org.ofono', '/'),
                           'org.freedesktop.DBus.Mock').AddModem(modem, {})
            for action in args.ofono_setup:
                ofono_act(action, bus, devices)

        if bus is not None and args.dundee:
            dundee = daemons.start('dundee stand-in',
                                   [PYTHON, '-m', 'dbusmock', '--system', '--template',
                                    os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                 'dundee.py'),
                                    '-p', json.dumps({'devices': [devices[0][1]] *
                                                      (2 if args.dundee == 'twins' else 1),
                                                      'fail': args.dundee == 'fail',
                                                      'hostile': args.dundee == 'hostile'}),
                                    '-l', os.path.join(folder, 'dundee.log')], env,
                                   stdout=subprocess.DEVNULL)
            wait_for_name(bus, 'org.ofono.dundee', dundee)

        context = {'cards': args.cards, 'runtime': env['XDG_RUNTIME_DIR'],
                   'player_error': args.player_error}
        if args.obex:
            import dbus
            address = start_bus('session', folder, daemons, env)
            env['DBUS_SESSION_BUS_ADDRESS'] = address
            context['session_bus'] = dbus.bus.BusConnection(address)
        if args.obex and args.obex != 'absent':
            obex_env = dict(env, TMPDIR=folder)  # the stand-in's transfer files stay private
            obex = daemons.start('obex stand-in',
                                 [PYTHON, '-m', 'dbusmock', '--session', '--template',
                                  os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                               'obex_pbap.py'),
                                  '-p', json.dumps({
                                      'cards': args.cards, 'delay_ms': args.obex_delay,
                                      'transfer': 'never' if args.obex == 'stopped'
                                                  else args.obex}),
                                  '-l', os.path.join(folder, 'obex.log')], obex_env,
                                 stdout=subprocess.DEVNULL)
            wait_for_name(context['session_bus'], 'org.bluez.obex', obex)
            if args.obex == 'stopped':
                obex.send_signal(signal.SIGSTOP)

        for item in args.env:
            name, _, value = item.partition('=')
            env[name] = value
        triggers = []
        for item in args.when:
            log, rest = item.split(':', 1)
            text, action = rest.rsplit(':', 1)  # TEXT may hold colons (addresses)
            triggers.append((os.path.join(folder, log + '.log'), text, action))
        env['KOBALT_SIM_TRACE'] = os.path.join(folder, 'trace.log')
        output = os.path.join(folder, 'console.out')
        with open(output, 'wb') as out, open(output + '.err', 'wb') as err:
            console = daemons.start('console', [args.console, '--sdk', 'bluez', '--script',
                                                args.script],
                                    env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            context['console'] = console
            deadline = time.monotonic() + 120
            while console.poll() is None:
                if time.monotonic() > deadline:
                    raise Failure('the console did not end within 120 s')
                for trigger in list(triggers):
                    log, text, action = trigger
                    if os.path.exists(log) and text in open(log).read():
                        triggers.remove(trigger)
                        act(action, bus, daemons, devices, context)
                time.sleep(0.02)
        check_console(console, output, triggers, args.status, args.stderr_has)

        def check_log(name, wanted, unwanted):
            path = os.path.join(folder, name)

            def read():
                return open(path).read().splitlines() if os.path.exists(path) else []

            # A call the console sent just before it ended may still wait in the stand-in's
            # socket: give the stand-in a moment to log it before calling it missing.
            lines = read()
            deadline = time.monotonic() + 10
            while (any(not any(text in line for line in lines) for text in wanted) and
                   time.monotonic() < deadline):
                time.sleep(0.05)
                lines = read()
            for text in wanted:
                if not any(text in line for line in lines):
                    raise Failure(f'{name} has no line with {text!r}:\n' + '\n'.join(lines))
            for method in unwanted:  # a line is "TIMESTAMP METHOD ARGS..."
                if any(line.split(' ')[1:2] == [method] for line in lines):
                    raise Failure(f'{name} has a call of {method}')

        check_log('bluez.log', args.bluez_log, args.no_bluez_log)
        check_log('ofono.log', args.ofono_log, args.no_ofono_log)
        check_log('obex.log', args.obex_log, args.no_obex_log)
        check_log('dundee.log', args.dundee_log, [])
        check_trace(folder, args.trace_has)
        # The phone's data does not outlive the console in its private folder.
        private = os.path.join(env['XDG_RUNTIME_DIR'], 'kobalt-obex')
        if os.path.isdir(private) and os.listdir(private):
            raise Failure(f'files left in {private}: {os.listdir(private)}')
    except (Failure, subprocess.TimeoutExpired, OSError) as failure:
        print(f'realstack: FAILED: {failure}', file=sys.stderr)
        trace = os.path.join(folder, 'trace.log')
        if os.path.exists(trace):
            lines = open(trace, errors='replace').read().splitlines()
            print('realstack: the end of the SDK trace:\n' + '\n'.join(lines[-30:]),
                  file=sys.stderr)
        return 1
    finally:
        daemons.stop()
        shutil.rmtree(folder, ignore_errors=True)
    print('realstack: passed', file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main())
