'''obexd stand-in for the phone-data tests: python-dbusmock's bluez5-obex template, whose
transfers the stand-in completes itself with the vCards of the phonebook selected, PullAll
answering an object path and writing the file asked for as obexd does, plus obexd's
AgentManager1 for the object push agent.

Parameters (-p JSON): "cards", a folder holding a file per phonebook object ("pb.vcf",
"ich.vcf", ...), and "transfer", what each PullAll's transfer does: "complete" (the object's
file is written and the status goes complete), "error" (the status goes error) or "never" (it
stays queued, as a transfer of a phone that stopped answering); "delay_ms", how long the
transfer takes (default 50).
'''
import importlib
import os
import shutil

import dbus
from dbusmock import mockobject
from gi.repository import GLib

stock = importlib.import_module('dbusmock.templates.bluez5-obex')

BUS_NAME = 'org.bluez.obex'
MAIN_OBJ = '/'
SYSTEM_BUS = False
IS_OBJECT_MANAGER = True

SETTINGS = {'cards': '', 'transfer': 'complete', 'delay_ms': 50}


def load(mock, parameters):
    stock.load(mock, parameters)
    SETTINGS.update(parameters)
    manager = mockobject.objects['/org/bluez/obex']
    # obexd's own agent manager (the template has BlueZ's, with another signature).
    manager.AddMethods('org.bluez.obex.AgentManager1', [
        ('RegisterAgent', 'o', '', ''),
        ('UnregisterAgent', 'o', '', ''),
    ])
    manager.AddMethods(stock.CLIENT_IFACE, [
        ('CreateSession', 'sa{sv}', 'o', create_session),
    ])


def create_session(self, destination, args):
    path = stock.CreateSession(self, destination, args)
    session = mockobject.objects[path]
    session.phonebook = ''
    session.AddMethods(stock.PHONEBOOK_ACCESS_IFACE, [
        ('Select', 'ss', '', select),
        # obexd answers the transfer's object path; the template's a string.
        ('PullAll', 'sa{sv}', 'oa{sv}', pull_all),
    ])
    return path


def select(self, _location, phonebook):
    self.phonebook = str(phonebook)


def pull_all(self, target_file, filters):
    transfer_path, props = stock.PullAll(self, target_file, filters)
    if target_file:
        # obexd writes where it was asked to (the template uses a file of its own): the file
        # exists from the start of the transfer on.
        transfer = mockobject.objects[transfer_path]
        os.remove(str(props['Filename']))
        props['Filename'] = dbus.String(target_file, variant_level=1)
        transfer.props[stock.TRANSFER_IFACE]['Filename'] = props['Filename']
        with open(target_file, 'wb'):
            pass
    GLib.timeout_add(int(SETTINGS['delay_ms']), finish, transfer_path,
                     mockobject.objects[transfer_path], self.phonebook)
    return (dbus.ObjectPath(transfer_path), props)


def finish(transfer_path, transfer, phonebook):
    # The template reuses the paths of removed sessions; obexd never does.
    if mockobject.objects.get(transfer_path) is not transfer:  # the session was removed
        return False
    mode = SETTINGS['transfer']
    if mode == 'complete':
        source = os.path.join(SETTINGS['cards'], phonebook + '.vcf')
        shutil.copyfile(source, str(transfer.props[stock.TRANSFER_IFACE]['Filename']))
        stock.UpdateStatus(transfer, True)
    elif mode == 'error':
        transfer.props[stock.TRANSFER_IFACE]['Status'] = dbus.String('error', variant_level=1)
        transfer.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as', [
            stock.TRANSFER_IFACE, {'Status': dbus.String('error', variant_level=1)}, []])
    return False
